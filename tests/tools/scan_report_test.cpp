// What the transcript tells of each sync mail a scan took in, read from the
// receiver's Inbox and folders.
#include <gtest/gtest.h>

#include "tools/scenario_office.h"

namespace qx::tools {
namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST(ScanReportTest, EachSyncMailTakenInIsToldByWhatBecameOfIt) {
  ScenarioOffice office;
  ASSERT_EQ(messages(office.run(R"(
user anna
user ben
folder anna add Tasks/Team
folder anna add Tasks/Side
folder ben add Tasks/Team
share anna Tasks/Team as team with ben@office.test
share anna Tasks/Side as side with ben@office.test
share ben Tasks/Team as team with anna@office.test
answer anna no
answer anna no
answer ben no
start anna
start ben
task anna add "Paint" in Tasks/Team
transport
advance 5s
task anna edit "Paint" in Tasks/Team percent 50
transport
postoffice copies 2
advance 5s
task anna edit "Paint" in Tasks/Team percent 60
transport
postoffice copies 1
task anna add "Nails" in Tasks/Side
transport
advance 5s
task anna delete "Paint" in Tasks/Team
transport
mail anna send to ben@office.test subject TaskSynchronisation body "hello"
fail ben safe.Attachment.SaveAsFile status 0x80070070
task anna add "Saw" in Tasks/Team
transport
advance 5m
)")),
            "");
  const std::string transcript = office.transcript();
  const std::string from = "ben: sync mail from anna@office.test: ";
  for (const char* told : {
           "added \"Paint\" to Tasks/Team",
           "changed \"Paint\" in Tasks/Team\n",
           "dropped: not newer than the copy here",
           "dropped: no folder is shared as \"side\"",
           "deleted \"Paint\" from Tasks/Team",
           "kept in the Inbox for a later scan",
           "added \"Saw\" to Tasks/Team",
       })
    EXPECT_NE(transcript.find(from + told), std::string::npos) << told << "\n" << transcript;
  EXPECT_EQ(occurrences(transcript, from + "left in the Inbox: not a sync mail"), 1u)
      << "a mail the add-in leaves alone is told once, not at every scan\n"
      << transcript;
  EXPECT_EQ(occurrences(transcript, from + "kept in the Inbox"), 1u) << transcript;
  EXPECT_EQ(transcript.find("anna: sync mail from"), std::string::npos)
      << "anna took in no sync mail";
}

}  // namespace
}  // namespace qx::tools
