#!/usr/bin/env bash
# Planted faults, one at a time: each is written into a scratch copy of the tree, only the tests named beside it are
# built (-j2) and run, and the copy is put back. A fault those tests notice is caught; one they pass with survives.
# A fault whose original text is not in its file exactly once (the code moved) is an error, never counted as caught,
# and so is one that does not build.
#
# Usage: scripts/mutants.sh [--check] [WORD]
#   --check  only looks up every original text in the working tree (no build)
#   WORD     runs only the faults whose line holds WORD (a file, a test, a word of the description)
# The scratch copy lives in $MUTANTS_DIR (default /tmp/cvrlik-mutants) and is kept, so a later run builds only what
# changed. The working tree is never written to. Exit status 0 when every fault run was caught.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
work="${MUTANTS_DIR:-/tmp/cvrlik-mutants}"
tree="$work/tree"
build="$work/build"
logs="$work/logs"

# One fault a line: file @@ original text @@ replacement @@ tests that must fail @@ what the fault does.
# The original text is matched exactly, spaces included; it must occur once in the file.
read -r -d '' faults <<'LIST' || true
src/text/formencode.cpp @@ "0123456789ABCDEF" @@ "0123456789abcdef" @@ tst_text @@ escapes in lower-case hex digits
src/text/codepage.cpp @@ *found : '?'); @@ *found : ' '); @@ tst_text @@ a character outside the code page goes out as a blank
src/store/encrypt.cpp @@ if (uchar(stored[n - 1]) != 255 - uchar(stored[n - 2])) { @@ if (false) { @@ tst_encrypt @@ a stored password's check byte is not checked
src/store/sysreg.cpp @@ WHERE key_id = ?1 ORDER BY id" @@ WHERE key_id = ?1 ORDER BY folded" @@ tst_sysreg @@ values listed by name instead of creation order
src/net/asyncsocket.cpp @@ size_t(Outgoing.size() - OutgoingSent), MSG_NOSIGNAL); @@ size_t(Outgoing.size() - OutgoingSent), 0); @@ tst_httpclient @@ a write into a reset connection raises SIGPIPE
src/net/asyncsocket.cpp @@ if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) { @@ if (false) { @@ tst_httpclient @@ a full send buffer counts as a failed connection
src/net/requestheader.cpp @@ if (fields.ViaProxy && !fields.ProxyUsername.isEmpty()) @@ if (!fields.ProxyUsername.isEmpty()) @@ tst_httpclient @@ proxy credentials sent to the server itself
src/net/nameresolver.cpp @@ Requests.erase(ticket); @@ (void)ticket; @@ tst_namelookup @@ a cancelled lookup's answer taken for the next lookup's
src/session/protocol.cpp @@ compare(QLatin1String("KLIENT"), Qt::CaseInsensitive) == 0) { @@ compare(QLatin1String("KLIENT"), Qt::CaseSensitive) == 0) { @@ tst_protocol @@ a client record in lower case is not one
src/session/onlinelistupdate.cpp @@ return QString::compare(left.Nick, right.Nick, Qt::CaseInsensitive) < 0; @@ return QString::compare(left.Nick, right.Nick, Qt::CaseSensitive) < 0; @@ tst_listupdate @@ capitals sorted before small letters in the list
src/widgets/queuedboxes.cpp @@ if (Stopped || Open.contains(box) || Waiting.contains(box)) { @@ if (Stopped || Open.contains(box)) { @@ tst_modal @@ the same report waiting twice opens two boxes
src/widgets/modal.cpp @@ for (auto button : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok}) { @@ for (auto button : {QMessageBox::Ok, QMessageBox::No, QMessageBox::Cancel}) { @@ tst_modal @@ a box closed without a choice answers OK
src/widgets/anchors.cpp @@ length = qMax(0, length + delta); @@ length = length + delta; @@ tst_mainform @@ a control shrunk below nothing gets a negative width
src/settings/userchecklistbox.cpp @@ return QString::compare(left, right, Qt::CaseInsensitive) < 0; @@ return QString::compare(left, right, Qt::CaseSensitive) < 0; @@ tst_userchecklistbox @@ the watched users sorted with capitals first
src/settings/userchecklistbox.cpp @@ if (QString::compare(item(index)->text(), nick, Qt::CaseInsensitive) == 0) { @@ if (item(index)->text() == nick) { @@ tst_userchecklistbox @@ a nick looked up with regard to letter case
src/app/startoptions.cpp @@ ++at; // the value @@ // the value @@ tst_program @@ a toolkit option's value taken for an option of the program
src/app/program.cpp @@ if (const std::optional<int> answered = AnswerStartOptions(options)) { @@ if (const std::optional<int> answered = std::optional<int>()) { @@ tst_program @@ --version and --help left to a program that needs a display
src/app/program.cpp @@ return wayland ? QByteArrayLiteral("wayland;xcb") : QByteArray(); @@ return wayland ? QByteArrayLiteral("xcb") : QByteArray(); @@ tst_mainform @@ a Wayland session forced through XWayland
src/app/desktopnotifier.cpp @@ hints.insert(QStringLiteral("desktop-entry"), QStringLiteral(CVRLIK_APP_ID)); @@ hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("cvrlik")); @@ tst_desktopnotifier @@ notifications name a desktop entry the program does not ship
src/app/onlinelistbox.cpp @@ if (role == Qt::AccessibleTextRole && SpokenTextOf) { @@ if (false) { @@ tst_listpainting @@ a screen reader hears the nick alone
src/app/entrylook.cpp @@ if (count == 1) { @@ if (count == 0) { @@ tst_listpainting @@ one idle minute read with the plural
src/app/onlinelistbox.cpp @@ (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) @@ false @@ tst_listactions @@ Shift+F10 opens no nick menu
src/app/mainformmenu.cpp @@ RunDoubleClickAction(false); @@ RunDoubleClickAction(Settings.EasyMouseMode); @@ tst_listactions @@ Enter does nothing in the easy mouse mode
src/app/mainformmenu.cpp @@ NickPopupMenu->setActiveAction(action); @@ (void)action; @@ tst_listactions @@ the nick menu from the keyboard opens with no item active
src/settings/settingsformstore.cpp @@ StartAtLoginCheckBox->setChecked(TAutostartEntry().IsOn()); @@ StartAtLoginCheckBox->setChecked(isVisible() ? StartAtLoginCheckBox->isChecked() : TAutostartEntry().IsOn()); @@ tst_settingsdialog @@ the start-at-login box read from the file only when the dialog is made
src/settings/settingsformstore.cpp @@ SaveStartAtLogin(); @@ (void)0; @@ tst_settingsdialog @@ OK and Apply leave the login entry as it was
src/settings/autostartentry.cpp @@ (key == "Hidden" && value == "true") || @@ (false) || @@ tst_settingsdialog @@ a login entry the desktop switched off shows on
src/settings/autostartentry.cpp @@ escaped += QStringLiteral("\\\\"); @@ escaped += character; @@ tst_settingsdialog @@ a backslash in the login entry's Exec line not escaped
src/messaging/inmsgform.cpp @@ if (index >= 0 && list->DetailsAt(index)->Rooms) { @@ if (index >= 0 && !list->DetailsAt(index)->IsClient) { @@ tst_inmsgform @@ the reply to an off-line sender preselects the chat
src/messaging/messagerequest.cpp @@ escapeLeft = byte == '%' && escapeLeft == 0 ? 2 : qMax(0, escapeLeft - 1); @@ escapeLeft = byte == '%' && escapeLeft == 0 ? 1 : qMax(0, escapeLeft - 1); @@ tst_messagerequest @@ a message cut between an escape's two digits
src/app/notifyform.cpp @@ NoticeIndex = 0; @@ ; @@ tst_popups @@ a later announcement run starts where the last one ended
src/app/notifyform.cpp @@ if (!QApplication::activeWindow()) { @@ if (true) { @@ tst_popups @@ the popup raised over the program's own active window
src/app/abouttokickform.cpp @@ if (WarnTicks >= Steps) { @@ if (WarnTicks > Steps) { @@ tst_popups @@ the idle warning takes a step too many
src/app/mainformwindow.cpp @@ TrayReachable()) { @@ true) { @@ tst_listactions @@ the window hides on deactivation with no tray to bring it back
src/app/mainformmenu.cpp @@ NickPopupMenu->popup(OnlineListBox->viewport()->mapToGlobal(position)); @@ NickPopupMenu->popup(position); @@ tst_listactions @@ the nick menu opens at list coordinates taken as screen ones
src/app/mainformmenu.cpp @@ ReadMessagesClick(); @@ CommentClick(); @@ tst_listactions @@ the read-messages item opens the comment dialog
src/app/mainformmenu.cpp @@ input.HasRooms = details.Rooms != nullptr; @@ input.HasRooms = !details.IsClient; @@ tst_listactions @@ a double click on an off-line user sends to the chat
src/app/entrylook.cpp @@ return state.IsClient ? RoomAndClientImage : InRoomImage; @@ return InRoomImage; @@ tst_listpainting @@ a user in a room and on the client drawn as in a room only
src/store/testing.cpp @@ while (TClockTimer* next = TClockTimer::FirstDue(end)) { @@ if (TClockTimer* next = TClockTimer::FirstDue(end)) { @@ tst_testing @@ a step of the clock fires only the first timer due in it
src/widgets/modal.cpp @@ (*window)->QDialog::done(QDialog::Rejected); @@ ; @@ tst_modal @@ a dialog that would ask first stays open at a quit, and the program never ends
src/messaging/sendmsgform.cpp @@ BroadcastLog.WriteLine(); @@ ; @@ tst_broadcast @@ a stopped broadcast leaves half a line in its log
src/app/mainformtimers.cpp @@ TickCounter += now - TickCountingSince; @@ ; @@ tst_sessionform @@ the time a connect took is forgotten when its reply is read: the reconnect comes late
src/app/mainformtimers.cpp @@ return lightsBlink || ReconnectPending() || (HasStoredMessages && TrayIcon && SystemTrayAvailable()); @@ return lightsBlink || ReconnectPending(); @@ tst_sessionform @@ the tray icon does not blink while messages wait
src/app/mainformmessages.cpp @@ if (HTTPClient->State() != THttpState::Ready) { @@ if (false) { @@ tst_sessionsim @@ a retrieval runs beside a session request
src/app/mainform.cpp @@ RequestQuit(); @@ close(); @@ tst_messagingsim @@ "&Konec" during a broadcast leaves the send dialog open and the program running
src/app/program.cpp @@ &TMainForm::RequestQuit); @@ &QWidget::close); @@ tst_quitting @@ SIGTERM during a broadcast closes the window under the dialog and leaves half a line in the log
src/app/mainformmessages.cpp @@ for (int copy = 2; store.ValueExists(name); ++copy) { @@ for (int copy = 2; false; ++copy) { @@ tst_sessionsim @@ a second message with the same time stamp replaces the first
src/messaging/inmsgform.cpp @@ if (stored) { @@ if (true) { @@ tst_inmsgform @@ a store another program holds clears the sender's mark
src/messaging/sendmsgform.h @@ return !Expanded && !Broadcasting; @@ return !Expanded; @@ tst_broadcast @@ a broadcast with its controls hidden ends after the first recipient
LIST

check_only=false
filter=""
for argument in "$@"; do
    case "$argument" in
    --check) check_only=true ;;
    -h | --help)
        sed -n '2,12p' "$0"
        exit 0
        ;;
    *) filter="$argument" ;;
    esac
done

# Splits a line of the list into the globals file, original, replacement, tests and what.
split_fault() {
    local rest="$1"
    file="${rest%% @@ *}"
    rest="${rest#* @@ }"
    original="${rest%% @@ *}"
    rest="${rest#* @@ }"
    replacement="${rest%% @@ *}"
    rest="${rest#* @@ }"
    tests="${rest%% @@ *}"
    what="${rest#* @@ }"
}

# How often the text occurs in the file, up to 2.
occurrences() {
    local content rest
    content="$(cat "$1"; printf x)"
    rest="${content#*"$2"}"
    if [[ "$rest" == "$content" ]]; then
        echo 0
    elif [[ "$rest" == *"$2"* ]]; then
        echo 2
    else
        echo 1
    fi
}

# Writes the file with its one occurrence of the original replaced.
plant() {
    local content
    content="$(cat "$1"; printf x)"
    content="${content%x}"
    printf '%s' "${content%%"$2"*}$3${content#*"$2"}" >"$1"
}

selected=()
while IFS= read -r line; do
    [[ -z "$line" ]] && continue
    if [[ -z "$filter" || "$line" == *"$filter"* ]]; then
        selected+=("$line")
    fi
done <<<"$faults"
if [[ ${#selected[@]} -eq 0 ]]; then
    echo "no fault matches \"$filter\"" >&2
    exit 2
fi

errors=0
for line in "${selected[@]}"; do
    split_fault "$line"
    count="$(occurrences "$top/$file" "$original")"
    if [[ "$count" != 1 ]]; then
        echo "ERROR: $file: the original text occurs $count times: $original" >&2
        errors=$((errors + 1))
    fi
done
if $check_only; then
    echo "${#selected[@]} faults, $errors whose original text is not found once"
    [[ $errors -eq 0 ]]
    exit
fi

# The scratch copy: the tracked and new files of the working tree; a file that differs is copied with a fresh time,
# so that the build takes it up.
mkdir -p "$tree" "$logs"
while IFS= read -r -d '' path; do
    if [[ -f "$top/$path" ]] && ! cmp -s "$top/$path" "$tree/$path"; then
        mkdir -p "$(dirname "$tree/$path")"
        cp "$top/$path" "$tree/$path"
    fi
done < <(git -C "$top" ls-files -z --cached --others --exclude-standard)
if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCVRLIK_BENCH=OFF >/dev/null
fi

# Builds the tests and runs them through CTest (each with its own environment); the output goes to the log.
build_and_run() {
    local log="$1"
    shift
    if ! cmake --build "$build" -j2 --target "$@" >"$log" 2>&1; then
        return 2
    fi
    local names
    names="$(IFS='|'; echo "$*")"
    if ! (cd "$build" && ctest -R "^($names)\$" --timeout 600 --output-on-failure >>"$log" 2>&1); then
        return 1
    fi
}

all_tests=()
for line in "${selected[@]}"; do
    split_fault "$line"
    read -r -a named <<<"$tests"
    for test in "${named[@]}"; do
        [[ " ${all_tests[*]} " == *" $test "* ]] || all_tests+=("$test")
    done
done
echo "== without a fault: ${all_tests[*]}"
if ! build_and_run "$logs/unplanted.log" "${all_tests[@]}"; then
    echo "the tests fail with no fault planted: see $logs/unplanted.log" >&2
    exit 2
fi

caught=0
survived=()
number=0
for line in "${selected[@]}"; do
    number=$((number + 1))
    split_fault "$line"
    read -r -a named <<<"$tests"
    log="$logs/$number.log"
    if [[ "$(occurrences "$tree/$file" "$original")" != 1 ]]; then
        continue # told above
    fi
    plant "$tree/$file" "$original" "$replacement"
    status=0
    build_and_run "$log" "${named[@]}" || status=$?
    cp "$top/$file" "$tree/$file" # a fresh time: the next build takes the original up again
    case "$status" in
    0)
        echo "SURVIVED $number: $file: $what ($tests)"
        survived+=("$number")
        ;;
    1)
        echo "caught   $number: $file: $what ($tests)"
        caught=$((caught + 1))
        ;;
    *)
        echo "ERROR    $number: $file: $what: does not build, see $log"
        errors=$((errors + 1))
        ;;
    esac
done
echo "${#selected[@]} faults: $caught caught, ${#survived[@]} survived, $errors errors"
[[ ${#survived[@]} -eq 0 && $errors -eq 0 ]]
