#!/usr/bin/env zsh
# The zsh completion, driven through zsh's own line editor on a
# pseudo-terminal: a Tab after each line, then the line as it stands.
# Usage: zsh_completion_test.zsh KALOCTL_DIR COMPLETION_SCRIPT
emulate -L zsh
zmodload zsh/zpty || exit 77
folder=$(mktemp -d) || exit 1
trap 'zpty -d z 2>/dev/null; rm -rf $folder' EXIT
ln -s ${2:A} $folder/_kaloctl
touch $folder/profile.json
typeset -A rows=(
  'kaloctl --se' 'kaloctl --serial '
  'kaloctl ide' 'kaloctl identify '
  'kaloctl set-status --code-page PC865/' 'kaloctl set-status --code-page PC865/PC1252\ \(ADC\) '
  "kaloctl set-status --double-byte-font '[S" "kaloctl set-status --double-byte-font '[Single Byte Font]' "
  "kaloctl set-status --load $folder/prof" "kaloctl set-status --load $folder/profile.json "
)
zpty z zsh -f -i
zpty -w z "PS1= RPS1=; PATH=$1:\$PATH; fpath=($folder \$fpath); autoload -Uz compinit; compinit -u -D"
# ^X prints the line between markers the typed text never holds, and clears it.
zpty -w z 'show() { print -rn -- "${(l:3::=:)}$BUFFER${(l:3::=:)}"; BUFFER=; }; zle -N show; bindkey "^X" show; bindkey "^I" complete-word'
failures=0
for typed wanted in ${(kv)rows}; do
  zpty -w -n z "$typed"$'\t\C-x'
  zpty -r z out '*===*===*'
  out=${${out#*===}%%===*}
  [[ $out == "$wanted" ]] || { print -r -- "'$typed' + Tab gave '$out', not '$wanted'"; (( ++failures )); }
done
(( failures == 0 )) && print -r -- "${#rows} passed, 0 failed"
