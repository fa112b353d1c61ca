#!/usr/bin/env bash
# Photographs every window of the program under Wine, in English and in
# German, into docs/screenshots/NAME-LANG.png, each cut to its window: the
# four list windows, the entry editor, each page of the options, the bug
# report, the about box and the eraser. The windows are opened with real
# input as a user opens them (tests/wine/program_desktop.sh). Not a test: it
# builds what it needs, photographs and says which pictures it could not make.
#
#   scripts/screenshots.sh [en|de]...    (default: both)
set -u
cd "$(dirname "$0")/.."
SOURCE_DIR=$(pwd)
scripts/deps.sh all || exit 1
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
cmake --preset windows >/dev/null || exit 1
cmake --build --preset windows -j 2 --target Ondrel OndrelTestServer || exit 1
SHOTS=$SOURCE_DIR/docs/screenshots
mkdir -p "$SHOTS"

TIME_LIMIT=600
missing=0
pass() { :; }
fail() { echo "FAIL: $*"; missing=$((missing + 1)); }
. tests/wine/wine_session.sh
. tests/wine/program_desktop.sh
wine_session_begin ondrel-screenshots

# The captions and texts of each language, as its language file has them.
declare -A EN=([lang]=English [allowit]="Allowed Windows" [closeit]="Windows to Close" [closed]="Closed Windows"
  [browsed]="Browsed Windows" [entry]="Window Entry" [options]=Options [bugreport]="Send a Bug Report"
  [bugbutton]="Send a Bug Report..." [about]="About Ondrel" [eraser]="Web Traces Eraser" [cancel]=Cancel)
declare -A DE=([lang]=German [allowit]="Erlaubte Fenster" [closeit]="Zu schließende Fenster"
  [closed]="Geschlossene Fenster" [browsed]="Besuchte Fenster" [entry]="Fenstereintrag" [options]=Optionen
  [bugreport]="Fehlerbericht senden" [bugbutton]="Fehlerbericht senden..." [about]="Über Ondrel"
  [eraser]="Web-Spuren löschen" [cancel]=Abbrechen)
OPTION_PAGES=(general detector sounds feedback)

# The window, once shown and painted, into NAME-LANG.png.
shoot() {  # CAPTION NAME
  if ! wait_until 20 window_shown "$1"; then
    fail "the window '$1' did not show ($2-$LANG_ID.png)"
    return 1
  fi
  sleep 0.7
  window_shot "$1" "$SHOTS/$2-$LANG_ID.png" && echo "$2-$LANG_ID.png" || fail "no picture of '$1'"
}
click_control() {  # CAPTION CLASS TEXT
  if control_report "$@"; then click $(control_middle); else fail "no control '$3' in '$1'"; fi
}
# A list window's close box at the right end of its caption bar.
close_window() {  # CAPTION
  ctl window "\"$1\""
  local ct cr
  IFS=, read -r _ ct cr _ <<<"$(get client)"
  click $((cr - 8)) $((($(get top) + ct) / 2 + 1))
  wait_until 20 window_gone "$1" || fail "the window '$1' did not close"
}

photograph() {  # LANG_ID, with T the texts of its language
  local i item name
  # Two entries in every list, so that no list window shows empty.
  write_list "$PROG_DIR/allowit.ppe" 3 0 "*" "http://shop.example/offers/*" "http://news.example/*" "*.news.example/*"
  write_list "$PROG_DIR/closeit.ppe" 1 0 "*" "http://ads.example/*" "http://news.example/*" "http://popup.example/banner"
  write_list "$PROG_DIR/closed.ppe" 1 fresh "http://news.example/" "http://popup.example/ad" \
    "http://games.example/play" "http://ads.example/flash.html"
  write_list "$PROG_DIR/browsed.ppe" 3 fresh "http://news.example/" "http://news.example/story" \
    "http://shop.example/" "http://shop.example/offers/today"
  desktop_start || return 1

  item=2
  for name in allowit closeit closed browsed; do
    if menu_choose $item; then
      if shoot "${T[$name]}" "$name" && [[ $name == closeit ]]; then
        # The entry editor, from the first button of its tool bar.
        ctl window "\"${T[$name]}\""
        IFS=, read -r cl ct _ _ <<<"$(get client)"
        click $((cl + 16)) $((ct + 12))
        shoot "${T[entry]}" entry && click_control "${T[entry]}" Button "${T[cancel]}"
        wait_until 20 window_gone "${T[entry]}" || fail "the entry editor did not close"
      fi
      close_window "${T[$name]}"
    else
      fail "menu item $item"
    fi
    item=$((item + 1))
  done

  if menu_choose 7 && wait_until 20 window_shown "${T[options]}"; then
    # A click on the first tab, then the arrow key from tab to tab.
    control_report "${T[options]}" SysTabControl32
    click $(($(get left) + 25)) $(($(get top) + 10))
    for ((i = 0; i < ${#OPTION_PAGES[@]}; i++)); do
      ((i)) && key Right
      page_is() { control_report "${T[options]}" SysTabControl32 && [[ "$(get selected)" == "$1" ]]; }
      wait_until 10 page_is $i || fail "the options did not turn to page $i"
      shoot "${T[options]}" "options-${OPTION_PAGES[i]}"
    done
    click_control "${T[options]}" OndrelSpeedButton "${T[bugbutton]}"
    shoot "${T[bugreport]}" bugreport
    click_control "${T[bugreport]}" OndrelSpeedButton "${T[cancel]}"
    wait_until 20 window_gone "${T[bugreport]}" || fail "the bug report did not close"
    click_control "${T[options]}" OndrelSpeedButton "${T[cancel]}"
    wait_until 20 window_gone "${T[options]}" || fail "the options did not close"
  else
    fail "no options"
  fi

  if menu_choose 8; then
    shoot "${T[about]}" about
    click_control "${T[about]}" OndrelSpeedButton OK
    wait_until 20 window_gone "${T[about]}" || fail "the about box did not close"
  fi
  if menu_choose 1; then
    shoot "${T[eraser]}" eraser
    click_control "${T[eraser]}" Button "${T[cancel]}"
    wait_until 20 window_gone "${T[eraser]}" || fail "the eraser did not close"
  fi
}

create_prefix
first=1
langs=("$@")
((${#langs[@]})) || langs=(en de)
for LANG_ID in "${langs[@]}"; do
  case $LANG_ID in
    en) declare -n T=EN ;;
    de) declare -n T=DE ;;
    *) echo "no language '$LANG_ID' (en, de)"; exit 1 ;;
  esac
  ((first)) || end_desktop
  first=0
  desktop_prepare build/windows/Ondrel.exe build/windows/OndrelTestServer.exe "${T[lang]}"
  photograph || fail "the program did not start in ${T[lang]}"
  unset -n T
done
echo "pictures in $SHOTS; $missing could not be made"
[[ $missing == 0 ]]
