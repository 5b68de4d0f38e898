# fish completion for trovix.  It offers directories for the start path, the
# switches /C, /I and /P once the filespec is there, and nothing where the
# filespec or a search text goes.  As on the command line, a switch is "/"
# and one character other than "/", in either case; a longer word that
# begins with "/", and "/" or "//", is a path.  fish itself matches the
# switches without case.
function __trovix_complete
    set -l cur (commandline -ct)
    set -l positionals 0
    set -l switch_seen 0
    set -l text_expected 0
    for word in (commandline -opc)[2..-1]
        if string match -qr '^/[^/]$' -- $word
            set switch_seen 1
            set text_expected 0
            string match -qr '^/[CcIi]$' -- $word; and set text_expected 1
        else if test $switch_seen = 0
            set positionals (math $positionals + 1)
        else
            set text_expected 0
        end
    end
    if test $text_expected = 1
        return
    else if test $switch_seen = 1 -o $positionals -ge 2
        or begin; test $positionals = 1; and string match -q '/*' -- $cur; end
        printf '%s\t%s\n' /C 'files that hold the text, case-sensitive' \
            /I 'files that hold the text, ASCII case ignored' /P 'a screenful at a time'
    else if test $positionals = 0
        __fish_complete_directories $cur
    end
end
complete -c trovix -f -a '(__trovix_complete)'
