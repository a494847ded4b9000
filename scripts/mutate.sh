#!/usr/bin/env bash
# A mutation check of the test suite: small faults of the kind a tired
# programmer makes, each planted alone in a scratch copy of the tree, built
# incrementally and judged by the tests that cover its file. "killed" when a
# test fails, "SURVIVED" when all pass (the tests would let that fault
# through). The working tree is never touched.
#
#   bash scripts/mutate.sh            # every edit
#   bash scripts/mutate.sh Escapes    # only edits whose file or tests match
#
# The scratch copy and its build live in $MUTATE_DIR (default
# /var/tmp/terso-mutate) and are reused: the first run builds the test
# programs once (several minutes), later runs rebuild only what changed.
# Run it after changing a covered file or its tests, and before trusting a
# test that is meant to guard a behaviour. Not part of the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
filter=${1:-}
work=${MUTATE_DIR:-/var/tmp/terso-mutate}
tree=$work/tree
build=$work/build
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# One edit: file, test program (build target), tests (ctest -R), the text it
# replaces (which must occur exactly once in the file) and the new text.
edits=()
m() { edits+=("$1" "$2" "$3" "$4" "$5"); }

# The send line's escapes.
m src/platform/AsciiText.h test_app 'SendFixture' "if (c >= 'a' && c <= 'f') return c - 'a' + 10;" "if (c >= 'a' && c < 'f') return c - 'a' + 10;"
m src/app/Escapes.cpp test_app 'SendFixture' "if (escape.value && *escape.value > 0) bytes" "if (escape.value) bytes"
m src/app/Escapes.cpp test_app 'SendFixture' "if (!escape.value) throw ConversionError::invalidInteger(escape.text);
  }
}" "if (!escape.value) return;
  }
}"
# The byte processor.
m src/app/ByteProcessor.cpp test_app 'Receive|Capture' "column = static_cast<std::int32_t>(plain.end - plain.lastLf - 1);" "column = static_cast<std::int32_t>(plain.end - plain.lastLf);"
m src/app/ByteProcessor.cpp test_app 'Receive|Capture' "const bool plainRows = ReplyCounted && !settings.insertTime && asPairs;" "const bool plainRows = ReplyCounted && asPairs;"
m src/app/ByteProcessor.cpp test_app 'Receive|Capture' "          hex.pairs(data.data() + end, 1, column);
          column = 0;" "          hex.pairs(data.data() + end, 1, column);
          column = 1;"
m src/app/ByteProcessor.cpp test_app 'Receive|Capture' "          ReplyCounted = true;" "          ReplyCounted = false;"
m src/app/ByteProcessor.cpp test_app 'Receive|Capture' "        if (settings.wrapPosition == 0) {" "        if (settings.wrapPosition != 1) {"
# The panes.
m src/ui/Memo.cpp test_ui 'Memo|HexPairs' "  cursor_ = Checkpoint{0, 0};" ""
m src/ui/HexPairs.cpp test_ui 'Memo|HexPairs' 'return gap + 1 == 8 ? "   " : " ";' 'return gap == 8 ? "   " : " ";'
m src/ui/HexPairs.cpp test_ui 'Memo|HexPairs' 'if (value == 0x0A) return "\r\n  ";' 'if (value == 0x0D) return "\r\n  ";'
# The reply reader and the statistics.
m src/readings/ReplyReader.cpp test_readings 'ReplyReader|Readings|Statistics' 'Word{"UL", State::Underload}' 'Word{"UL", State::Overload}'
m src/readings/Statistics.cpp test_readings 'ReplyReader|Readings|Statistics' "s.stdDev / std::fabs(s.mean) * 100" "s.stdDev / s.mean * 100"
m src/readings/Statistics.cpp test_readings 'ReplyReader|Readings|Statistics' "std::sqrt(m2_ / static_cast<double>(count_ - 1))" "std::sqrt(m2_ / static_cast<double>(count_))"
m src/readings/Statistics.cpp test_readings 'ReplyReader|Readings|Statistics' "s.range = max_ - min_;" "s.range = max_ - mean_;"
# The sequencer.
m src/automatic/Sequencer.cpp test_automatic 'Sequencer' "unit == \"m\" ? 60000.0" "unit == \"m\" ? 6000.0"
m src/automatic/Sequencer.cpp test_app 'SequencerFixture' "  stepTimer_->setInterval(0);
  countdownTimer_->setInterval(0);" "  stepTimer_->setInterval(0);"
m src/automatic/Sequencer.cpp test_automatic 'Sequencer' "  if (repeatCounter_ > 0)
    --repeatCounter_;" "  if (repeatCounter_ > 1)
    --repeatCounter_;"
m src/automatic/Sequencer.cpp test_automatic 'Sequencer' "countdownShown_ = stepTimer_->interval() >= 3000;" "countdownShown_ = stepTimer_->interval() > 3000;"
m src/automatic/Sequencer.cpp test_automatic 'Sequencer' "if (measurementsDone_ == count) {" "if (measurementsDone_ > count) {"
m src/automatic/Sequencer.cpp test_automatic 'Sequencer' "if (!countdownShown_) status_.replies(replies, sent);" "status_.replies(replies, sent);"
# The capture file.
m src/app/CaptureFile.cpp test_app 'Capture' "std::replace(line.begin(), line.end(), '.', ',');" "std::replace(line.begin(), line.end(), ',', '.');"
m src/app/CaptureFile.cpp test_app 'Capture' "    if (lf > 0 && chunk[lf - 1] == '\r') out += stamp;" "    out += stamp;"
m src/app/CaptureFile.cpp test_app 'Capture' "  if (error || size == 0) return platform::OpenMode::Create;" "  return platform::OpenMode::Create;"
m src/app/CaptureFile.cpp test_app 'Capture' "  while (end > begin && blank(s[end - 1])) --end;" ""
# Transfers on the serial device.
m src/platform/posix/SerialDevice.cpp test_serial 'ComPortTransfer' "done += writeSome(data + done, size - done);" "done += writeSome(data, size - done);"
m src/serial/ComPortTransfers.cpp test_serial 'ComPortTransfer|ComPortEventThread' "StartRead(buffer + ahead, count - ahead, &request);" "StartRead(buffer, count - ahead, &request);"
# The ini and config files.
m src/platform/IniFile.cpp test_platform 'IniFile' "isBlank(v.front()) || isBlank(v.back()) ||" "isBlank(v.front()) ||"
m src/platform/IniFile.cpp test_platform 'IniFile' "return c == ' ' || c == '\t' || c == '\r';" "return c == ' ' || c == '\r';"
m src/config/ConfigFile.cpp test_config 'ConfigFile' "options.Port = port > 0 ? port : 1001;" "options.Port = port >= 0 ? port : 1001;"
# The Ethernet link's state.
m src/ethernet/CEthConnection.cpp test_ethernet 'CEthConnection|EthConnection' "void CEthConnection::SocketConnected(platform::TcpSocket&) {
  EthState = EthOpen;" "void CEthConnection::SocketConnected(platform::TcpSocket&) {
  EthState = EthConnecting;"
m src/ethernet/CEthConnection.cpp test_ethernet 'CEthConnection|EthConnection' "  if (sender.attemptFailed()) {
    EthState = EthClosed;
    postState();
  }" "  if (sender.attemptFailed()) postState();"
m src/ethernet/CEthConnection.cpp test_ethernet 'CEthConnection|EthConnection' "    if (FastWriteMode && handlers_.closeCaptureFile) handlers_.closeCaptureFile();" ""
m src/ethernet/CEthConnection.cpp test_ethernet 'CEthConnection|EthConnection' "  if (FastWriteMode) {
    if (handlers_.fastWriteData)" "  if (!FastWriteMode) {
    if (handlers_.fastWriteData)"

# The scratch copy: the tracked files and the ones not yet committed, with
# their times kept, so that the build redoes only what changed since the
# last run.
mkdir -p "$tree"
(git ls-files -co --exclude-standard -z | tar --null -T - -cf -) | (cd "$tree" && tar -xpf -)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 \
    -DTERSO_BENCH=OFF >/dev/null
fi
targets=()
for ((i = 0; i < ${#edits[@]}; i += 5)); do
  t=${edits[i + 1]}
  [[ " ${targets[*]} " == *" $t "* ]] || targets+=("$t")
done
echo "Building the test programs in $build ..."
cmake --build "$build" -j"$jobs" --target "${targets[@]}" >/dev/null

current=""
restore() {
  # The file keeps its content and gets a new time, so the next build
  # compiles it again rather than keeping the mutant's object.
  if [ -n "$current" ]; then cp "$repo/$current" "$tree/$current"; fi
  current=""
}
trap restore EXIT INT TERM

killed=0
survived=0
broken=0
n=0
started=$(date +%s)
for ((i = 0; i < ${#edits[@]}; i += 5)); do
  file=${edits[i]} target=${edits[i + 1]} tests=${edits[i + 2]} old=${edits[i + 3]} new=${edits[i + 4]}
  n=$((n + 1))
  if [ -n "$filter" ] && [[ "$file $tests" != *"$filter"* ]]; then continue; fi
  label="$n. $file: $(printf '%s' "$old" | head -n 1 | cut -c1-70)"
  content=$(cat "$repo/$file"; printf x)
  content=${content%x}
  rest=${content#*"$old"}
  if [[ "$content" != *"$old"* ]] || [[ "$rest" == *"$old"* ]]; then
    echo "$label -> NOT APPLIED (the text is not in the file exactly once)"
    broken=$((broken + 1))
    continue
  fi
  current=$file
  printf '%s' "${content/"$old"/"$new"}" >"$tree/$file"
  if ! cmake --build "$build" -j"$jobs" --target "$target" >"$work/build.log" 2>&1; then
    verdict="DOES NOT BUILD"
    broken=$((broken + 1))
  elif ctest --test-dir "$build" -R "$tests" -j"$jobs" --timeout 120 >"$work/test.log" 2>&1; then
    if grep -q "No tests were found" "$work/test.log"; then
      verdict="NO TESTS ($tests)"
      broken=$((broken + 1))
    else
      verdict="SURVIVED"
      survived=$((survived + 1))
    fi
  else
    verdict="killed by $(grep -m1 -oE '[0-9]+ - [A-Za-z0-9_./]+' "$work/test.log" | sed 's/^[0-9]* - //')"
    killed=$((killed + 1))
  fi
  restore
  echo "$label -> $verdict"
done
trap - EXIT INT TERM
total=$((killed + survived))
echo "Score: $killed of $total killed, $survived survived, $broken not run ($(($(date +%s) - started)) s)"
[ "$survived" -eq 0 ] && [ "$broken" -eq 0 ]
