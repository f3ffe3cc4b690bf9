# fish completion for zorvikpla: one song file (.zvo), or an option.

complete -c zorvikpla -f
complete -c zorvikpla -s h -l help -d 'Show the help and exit'
complete -c zorvikpla -l version -d 'Show the version and exit'
complete -c zorvikpla -n 'test (count (commandline -opc)) -eq 1' -a '(
    for f in (commandline -ct)*
        if test -d $f
            echo $f/
        else if string match -qi -- "*.zvo" $f
            echo $f
        end
    end)'
