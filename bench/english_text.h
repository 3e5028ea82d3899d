#pragma once
// English-like text for the codec benchmarks: Zipf-distributed common words in
// sentences and paragraphs, the same bytes on every run.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace qx::bench {

inline const char* const kWords[] = {
    "the",      "of",        "and",       "to",       "in",          "a",         "is",
    "that",     "for",       "it",        "as",       "was",         "with",      "be",
    "by",       "on",        "not",       "he",       "this",        "are",       "or",
    "his",      "from",      "at",        "which",    "but",         "have",      "an",
    "had",      "they",      "you",       "were",     "their",       "one",       "all",
    "we",       "can",       "her",       "has",      "there",       "been",      "if",
    "more",     "when",      "will",      "would",    "who",         "so",        "no",
    "she",      "other",     "its",       "may",      "these",       "about",     "than",
    "time",     "into",      "only",      "some",     "could",       "them",      "people",
    "first",    "new",       "two",       "what",     "very",        "after",     "most",
    "also",     "made",      "over",      "did",      "many",        "before",    "must",
    "through",  "years",     "where",     "much",     "your",        "way",       "well",
    "down",     "should",    "because",   "each",     "just",        "those",     "how",
    "too",      "little",    "state",     "good",     "world",       "under",     "never",
    "same",     "another",   "while",     "last",     "might",       "great",     "old",
    "year",     "off",       "come",      "since",    "against",     "go",        "came",
    "right",    "used",      "take",      "three",    "himself",     "few",       "house",
    "use",      "during",    "without",   "again",    "place",       "American",  "around",
    "however",  "home",      "small",     "found",    "Mrs.",        "thought",   "went",
    "say",      "part",      "once",      "general",  "high",        "upon",      "school",
    "every",    "don't",     "does",      "got",      "united",      "left",      "number",
    "course",   "war",       "until",     "always",   "away",        "something", "fact",
    "though",   "water",     "less",      "public",   "put",         "think",     "almost",
    "hand",     "enough",    "far",       "took",     "head",        "yet",       "government",
    "system",   "better",    "set",       "told",     "nothing",     "night",     "end",
    "why",      "called",    "didn't",    "eyes",     "find",        "going",     "look",
    "asked",    "later",     "knew",      "point",    "next",        "program",   "city",
    "business", "give",      "group",     "toward",   "young",       "days",      "let",
    "room",     "president", "side",      "social",   "present",     "given",     "several",
    "order",    "national",  "second",    "possible", "rather",      "per",       "face",
    "among",    "form",      "important", "often",    "things",      "looked",    "early",
    "white",    "John",      "case",      "become",   "large",       "big",       "need",
    "four",     "within",    "felt",      "along",    "children",    "saw",       "best",
    "church",   "ever",      "least",     "power",    "development", "light",     "thing",
    "seemed",   "family",    "interest",  "want",     "members",     "mind",      "country",
    "area",     "others",    "although",  "turned",   "done",        "open",      "God",
    "service",  "certain",   "kind",      "problem",
};

// Zipf-like word frequencies, sentences of varying length, paragraphs.
inline std::vector<std::uint8_t> englishText(std::size_t size, unsigned seed = 1) {
  std::mt19937 rng(seed);
  const std::size_t words = std::size(kWords);
  std::vector<double> weights(words);
  for (std::size_t i = 0; i < words; ++i) weights[i] = 1.0 / static_cast<double>(i + 1);
  std::discrete_distribution<std::size_t> pick(weights.begin(), weights.end());
  std::uniform_int_distribution<int> sentence(4, 24);
  std::string text;
  text.reserve(size + 64);
  while (text.size() < size) {
    const int length = sentence(rng);
    for (int w = 0; w < length; ++w) {
      std::string word = kWords[pick(rng)];
      if (w == 0) word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
      text += word;
      text += (w + 1 == length) ? ". " : (rng() % 11 == 0 ? ", " : " ");
    }
    if (rng() % 7 == 0) text += "\n\n";
  }
  return std::vector<std::uint8_t>(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

}  // namespace qx::bench
