# bash completion for trovix.  It offers directories for the start path, the
# switches /C, /I and /P once the filespec is there, and nothing where the
# filespec or a search text goes.  As on the command line, a switch is "/"
# and one character other than "/", in either case; a longer word that
# begins with "/", and "/" or "//", is a path.
_trovix() {
  local cur=${COMP_WORDS[COMP_CWORD]} word i positionals=0 switch_seen= text_expected=
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ $word == /[!/] ]]; then
      switch_seen=1
      text_expected=
      [[ $word == /[CcIi] ]] && text_expected=1
    elif [[ ! $switch_seen ]]; then
      ((positionals += 1))
    else
      text_expected=
    fi
  done
  COMPREPLY=()
  if [[ $text_expected ]]; then
    return
  elif [[ $switch_seen ]] || ((positionals >= 2)) || [[ $positionals == 1 && $cur == /* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '/C /I /P' -- "${cur^^}")
  elif ((positionals == 0)); then
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
  fi
}
complete -F _trovix trovix
