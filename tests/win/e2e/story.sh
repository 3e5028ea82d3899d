# The story that run-story runs (sourced by it: run, expect, expect_steady,
# fail, install_user and start_host come from there).
anna=anna@example.org
ben=ben@example.org
# The basic-sync question for a folder, as its message box shows it.
question() {
  printf 'boxes 1\nBasicsynchronisation:%s\t%s' "$1" \
    'Would you like to make a basicsynchronisation now?\nIf you choice cancel, you will get only the newest items synchronized!'
}

# The library-missing message box: caption, then text.
library_missing=$(printf 'boxes 1\nHessaplex is not right registered\tQuendrilax')
step() { echo "run-story: $(date +%T) $*"; }

step "installing the module and the safe-item library for anna and ben"
# The two machines boot at once: Wine's first start is the slow part.
install_user anna & installing_anna=$!
install_user ben & installing_ben=$!
wait $installing_anna || fail "anna: installation"
wait $installing_ben || fail "ben: installation"
start_host anna $anna
start_host ben $ben
# A host's first start in a new prefix takes a while.
seconds=60 expect 60 anna yes connected
seconds=60 expect 60 ben yes connected

step "sharing the folder Team"
run anna folder Team >/dev/null
run ben folder Team >/dev/null
# On the folder page: tick the box, enter the share name, add the other's
# address with ">>", press OK.
share_on_page() {
  local user=$1 other=$2 found
  found=$(run $user properties Team)
  case "$found" in
    pages*) ;;
    *) fail "$user: the Properties of Team: $found" ;;
  esac
  for action in "click 221" "type 219 team" "type 215 $other" "click 216"; do
    found=$(run $user page $action)
    [ "$found" = ok ] || fail "$user: page $action: $found"
  done
  expect 5 $user "$(printf 'checked\tteam\t%s' "$other")" page state 221 219 217
  found=$(run $user page ok)
  [ "$found" = ok ] || fail "$user: OK on the folder page: $found"
}
share_on_page anna $ben
share_on_page ben $anna
# The configuration is read at connection; the new folder brings the
# basic-sync question, answered No (the folder is empty).
for user in anna ben; do
  send $user restart
  restart=$sent
  expect 10 $user "$(question Team)" boxes
  [ "$(run $user answer 7)" = ok ] || fail "$user: answer No"
  [ "$(await "$restart")" = "add-in connected" ] || fail "$user: restart"
done

step "anna adds a task; it arrives at ben's"
run anna add Team 'subject=Quarterly report' 'due=46100' 'importance=2' \
  'body=Figures for Q3\nand the outlook' >/dev/null
task=$(run anna dump Team)
case "$task" in
  "items 1"*"subject=Quarterly report"*) ;;
  *) fail "anna: the task in Team: $task" ;;
esac
expect 30 ben "$task" dump Team
# On the wire: one sync mail, in the form every version of the add-in reads.
wire=$(ls "$work/anna/commands/sent")
[ "$wire" = 1.eml ] || fail "anna: one mail sent; found: $wire"
wire=$(tr -d '\r' < "$work/anna/commands/sent/1.eml")
for header in 'Subject: TaskSynchronisation' "To: $ben" 'Importance: low' \
  'Sensitivity: Company-Confidential' 'x-quensyncxxxsyncid: {'; do
  case "$wire" in
    *"$header"*) ;;
    *) fail "anna: the sync mail
expected a header: $header
found:
$(echo "$wire" | sed '/^$/q')" ;;
  esac
done
body=$(echo "$wire" | awk '/^Content-Type: text\/plain/{h=1;next} h&&/^$/{p=1;h=0;next} p&&/^--/{exit} p' | base64 -d)
case "$body" in
  *"is:TRUE:is"*"lf:team:lf"*"id:{"*":id"*) ;;
  *) fail "anna: the sync mail's body
expected: is:TRUE:is, lf:team:lf, id:{...}:id
found:
$body" ;;
esac

step "ben edits it; the change arrives at anna's"
# A user's edit comes later than the add-in's burst window (3 s) after the
# add-in wrote the task; an edit inside it is taken for the same change.
sleep 4
[ "$(run ben edit Team 'Quarterly report' 'body=Figures for Q3, checked' 'percent=50' 'status=1')" = ok ] ||
  fail "ben: edit"
edited=$(run ben dump Team)
case "$edited" in
  *"percent=50"*) ;;
  *) fail "ben: the edited task: $edited" ;;
esac
expect 30 anna "$edited" dump Team

step "anna deletes it; ben's copy goes to his Deleted Items"
sleep 4
[ "$(run anna delete Team 'Quarterly report')" = ok ] || fail "anna: delete"
expect 30 ben "items 0" dump Team
deleted=$(run ben dump 'Deleted Items')
case "$deleted" in
  "items 1"*"subject=Quarterly report"*) ;;
  *) fail "ben: Deleted Items
expected: the task \"Quarterly report\"
found:
$deleted" ;;
esac

step "no mail echoes back: Outboxes and Inboxes stay empty, the folders unchanged"
for user in anna ben; do
  expect 10 $user "items 0" dump Outbox
  expect 10 $user "items 0" dump Inbox
done
# A further scan on each side (NewMail scans at once) changes nothing.
for user in anna ben; do
  [ "$(run $user newmail)" = ok ] || fail "$user: NewMail"
done
expect_steady 8 anna "items 0" dump Team
expect_steady 2 ben "items 0" dump Team
expect_steady 2 ben "$deleted" dump 'Deleted Items'
for user in anna ben; do
  expect_steady 1 $user "items 0" dump Outbox
  expect_steady 1 $user "items 0" dump Inbox
done

# Waits until the post office folder of a user holds at least N mails.
await_mails() {
  local limit=$1 user=$2 count=$3
  local deadline=$(( $(date +%s) + limit )) found
  while :; do
    found=$(ls "$post/$user" 2>/dev/null | grep -c '\.eml$' || true)
    [ "$found" -ge "$count" ] && return 0
    [ "$(date +%s)" -lt "$deadline" ] || fail "$user: expected $count mails waiting in the post office, found $found"
    sleep 0.2
  done
}
# A newly shared folder's question at the restart that reads it, answered.
restart_answering() {
  local user=$1 folder=$2 answer=$3
  send $user restart
  local restart=$sent
  expect 10 $user "$(question "$folder")" boxes
  [ "$(run $user answer "$answer")" = ok ] || fail "$user: answer $answer"
  [ "$(await "$restart")" = "add-in connected" ] || fail "$user: restart"
}

step "two changes of one task that arrive in the reverse of their sent order end on the later one"
run anna add Team 'subject=Budget' 'percent=10' >/dev/null
expect 30 ben "$(run anna dump Team)" dump Team
[ "$(run ben hold on)" = ok ] || fail "ben: hold the mail"
sleep 4
[ "$(run anna edit Team Budget 'percent=20')" = ok ] || fail "anna: edit"
await_mails 30 $ben 1
# Outside the burst window of the first edit (3 s); the mails' Date headers
# count seconds.
sleep 4
[ "$(run anna edit Team Budget 'percent=70')" = ok ] || fail "anna: edit"
await_mails 30 $ben 2
later=$(run anna dump Team)
case "$later" in
  *"percent=70"*) ;;
  *) fail "anna: the edited task: $later" ;;
esac
# The earlier mail is delivered after the later one.
earlier=$(ls "$post/$ben" | sort | head -n 1)
mv "$post/$ben/$earlier" "$post/$ben/z-$earlier"
[ "$(run ben hold off)" = ok ] || fail "ben: release the mail"
expect 30 ben "$later" dump Team
expect_steady 4 ben "$later" dump Team

step "basic sync: anna's three tasks of a newly shared folder reach ben one per tick"
run anna folder Projects >/dev/null
run ben folder Projects >/dev/null
for n in 1 2 3; do
  run anna add Projects "subject=Milestone $n" "due=4610$n" "importance=$((n % 3))" \
    "body=Step $n of the plan" >/dev/null
done
[ "$(run ben share Projects projects $anna)" = ok ] || fail "ben: share Projects"
send ben restart
restart=$sent
expect 10 ben "$(question Projects)" boxes
[ "$(run ben answer 7)" = ok ] || fail "ben: answer No"
[ "$(await "$restart")" = "add-in connected" ] || fail "ben: restart"
[ "$(run anna share Projects projects $ben)" = ok ] || fail "anna: share Projects"
send anna restart
restart=$sent
expect 10 anna "$(question Projects)" boxes
[ "$(run anna answer 6)" = ok ] || fail "anna: answer Yes"
[ "$(await "$restart")" = "add-in connected" ] || fail "anna: restart"

# Watches ben's folder and anna's indicator once a second: the tasks come one
# at a time, and the indicator counts down while they do.
arrivals=() captions=() last=0 restarted=no
deadline=$(( $(date +%s) + 60 ))
while :; do
  count=$(run ben dump Projects | head -n 1)
  count=${count#items }
  # Every button of the explorer: an engine's indicator stays on its bar
  # when the add-in restarts (the bar is temporary).
  while read -r caption; do
    captions+=("$caption")
  done < <(run anna bars | sed -n 's/.*caption=\(.*\) visible.*/\1/p')
  if [ "$count" != "$last" ]; then
    [ $((count - last)) -eq 1 ] || fail "ben: Projects went from $last to $count tasks at once"
    arrivals+=("$(date +%s.%N)")
    last=$count
    # The indicator shows a count from the second task on (the first tick
    # puts it up after sending); the restart comes after that.
    if [ "$count" = 2 ] && [ $restarted = no ]; then
      # A restart in the middle of the basic sync loses and doubles nothing.
      [ "$(run anna restart)" = "add-in connected" ] || fail "anna: restart during basic sync"
      restarted=yes
    fi
  fi
  [ "$count" = 3 ] && break
  [ "$(date +%s)" -lt "$deadline" ] || fail "ben: Projects has $count of 3 tasks after 60 s"
  sleep 0.5
done
for i in 1 2; do
  gap=$(echo "${arrivals[$i]} - ${arrivals[$((i - 1))]}" | bc)
  [ "$(echo "$gap >= 1" | bc)" = 1 ] || fail "ben: task $((i + 1)) came $gap s after task $i, not a tick later"
done
# The counts the indicator showed.
counts=$(printf '%s\n' "${captions[@]}" | sed -n 's/^Basicsynchronisation Quendrilax: \([0-9]*\) items left$/\1/p' | uniq)
[ "$counts" = 1 ] ||
  fail "anna: the indicator did not count the last task left; captions seen: $(printf '%s\n' "${captions[@]}" | sort -u)"
# Each task once, every field (its sync id included) as anna has it.
projects=$(run anna dump Projects)
expect 10 ben "$projects" dump Projects
expect_steady 7 ben "$projects" dump Projects
expect_steady 1 anna "$projects" dump Projects

step "basic sync: a queued task deleted meanwhile is dropped and the catch-up phase ends"
run anna folder Errands >/dev/null
run ben folder Errands >/dev/null
run anna add Errands 'subject=Errand gone' >/dev/null
run anna add Errands 'subject=Errand kept' >/dev/null
[ "$(run ben share Errands errands $anna)" = ok ] || fail "ben: share Errands"
restart_answering ben Errands 7
[ "$(run anna share Errands errands $ben)" = ok ] || fail "anna: share Errands"
restart_answering anna Errands 6
# Before the first tick: the front of the queue names a task that is gone,
# and the host says so under high bits of its own, through a deferred
# exception.
[ "$(run anna delete Errands 'Errand gone')" = ok ] || fail "anna: delete"
deadline=$(( $(date +%s) + 40 ))
until run ben dump Errands | grep -q 'subject=Errand kept'; do
  [ "$(date +%s)" -lt "$deadline" ] || fail "ben: \"Errand kept\" has not arrived after 40 s: $(run ben dump Errands)"
  sleep 0.5
done
errands=$(run anna dump Errands)
expect 10 ben "$errands" dump Errands
# The catch-up phase ends: its indicator goes.
deadline=$(( $(date +%s) + 20 ))
while run anna bars | grep -q 'caption=Basicsynchronisation.* visible'; do
  [ "$(date +%s)" -lt "$deadline" ] ||
    fail "anna: the basic synchronisation's indicator is still up: $(run anna bars)"
  sleep 0.5
done
expect_steady 4 ben "$errands" dump Errands

step "a task deleted in a shared folder of anna's second personal-folders file reaches ben as a removal"
run anna store Archive >/dev/null
run anna folder Filed Archive >/dev/null
run ben folder Filed >/dev/null
[ "$(run anna share Archive/Filed filed $ben)" = ok ] || fail "anna: share Archive/Filed"
[ "$(run ben share Filed filed $anna)" = ok ] || fail "ben: share Filed"
restart_answering anna Filed 7
restart_answering ben Filed 7
run anna add Archive/Filed 'subject=Old contract' 'body=Signed in 2019' >/dev/null
expect 30 ben "$(run anna dump Archive/Filed)" dump Filed
sleep 4
[ "$(run anna delete Archive/Filed 'Old contract')" = ok ] || fail "anna: delete in Archive/Filed"
case "$(run anna dump 'Archive/Deleted Items')" in
  "items 1"*"subject=Old contract"*) ;;
  *) fail "anna: the task is not in the Deleted Items of Archive" ;;
esac
expect 30 ben "items 0" dump Filed
case "$(run ben dump 'Deleted Items')" in
  *"subject=Old contract"*) ;;
  *) fail "ben: Deleted Items
expected: the task \"Old contract\"
found:
$(run ben dump 'Deleted Items')" ;;
esac

step "without the safe-item library the first scan reports it and the add-in disconnects itself"
WINEPREFIX="$work/ben/prefix" "$wine" regsvr32 /s /u 'C:\Program Files\Hessaplex\QxSafeItems.dll' ||
  fail "ben: unregistering the safe-item library"
sleep 4
run anna add Team 'subject=Call the printer' >/dev/null
expect 30 ben "$library_missing" boxes
[ "$(run ben answer 1)" = ok ] || fail "ben: answer OK"
expect 10 ben no connected

for user in anna ben; do run $user quit >/dev/null; done
step "the story passed"
