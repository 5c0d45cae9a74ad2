#compdef kaloctl
# zsh completion for kaloctl. As for bash, kaloctl itself says what may come
# next; it is asked with the words as typed, quotes and all, and answers with
# each candidate quoted for a POSIX shell. zsh takes those quotes off and puts
# in its own, as the word typed so far needs them (after an opening quote,
# none); the candidates go in unfiltered (-U), kaloctl having matched them
# already, in any case. File names are left to zsh.
local program=${words[1]}
[[ $program == */* && -x $program ]] || program=kaloctl
local -a candidates
candidates=("${(@f)$("$program" --complete $((CURRENT - 1)) "${(@)words[1,CURRENT]}" 2>/dev/null)}")
candidates=(${candidates:#})
if (( ${#candidates} )); then
  compadd -U -- "${(@Q)candidates}"
else
  _files
fi
