# Sourced by the Wine scripts: the environment every Wine run of this project
# uses. Japanese locale, so Wine's ANSI code page is 932 as on the target
# machines; no debug chatter; no Mono/Gecko installer prompts; no menu entries
# written into the home folder.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
unset WINEARCH
kestrova_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kestrova_template=${KESTROVA_WINE_TEMPLATE:-$kestrova_root/build/wine-template}
