# fish completion for zorvik: commands, their options, and file names by
# type: songs (.zvo files and .txt song texts), banks (.zvi), audio files.

# Folders, and files whose names end in one of the extensions given (any
# case), that start with the token being completed.
function __zorvik_files
    # Of --option=VALUE, fish wants the values only.
    set -l token (string replace -r -- '^--[^=]+=' '' "$(commandline -ct)")
    set -l pattern (string join '|' -- $argv)
    for f in $token*
        if test -d $f
            echo $f/
        else if string match -qir -- "\.($pattern)\$" $f
            echo $f
        end
    end
end

# The command being given: play, render, info, "song compile", ...
function __zorvik_command
    set -l words (commandline -opc)
    if contains -- "$words[2]" song bank; and set -q words[3]
        echo "$words[2] $words[3]"
    else
        echo $words[2]
    end
end

function __zorvik_is
    contains -- (__zorvik_command) $argv
end

# True when the command is $argv[1] and the token being completed is its
# operand number $argv[2] (from 1), or any operand from that on when a third
# argument is "+". Options and their values are not operands; "--" ends the
# options.
function __zorvik_operand
    set -l command (__zorvik_command)
    test "$command" = $argv[1]; or return 1
    set -l words (commandline -opc)
    set -e words[1]
    for w in (string split ' ' -- $command)
        set -e words[1]
    end
    set -l valued
    switch $command
        case play
            set valued -l --loops -b --bank
        case render
            set valued --samples --loops --seconds -b --bank -r --rate -g --gain
        case 'bank build'
            set valued -n --name -a --author -f --fill
    end
    set -l count 0
    set -l ended 0
    set -l skip 0
    for w in $words
        if test $skip = 1
            set skip 0
        else if test $ended = 0; and test "$w" = --
            set ended 1
        else if test $ended = 0; and string match -q -- '-?*' $w
            contains -- $w $valued; and set skip 1
        else
            set count (math $count + 1)
        end
    end
    if test "$argv[3]" = +
        test (math $count + 1) -ge $argv[2]
    else
        test (math $count + 1) -eq $argv[2]
    end
end

complete -c zorvik -f
complete -c zorvik -s h -l help -d 'Show the help and exit'
complete -c zorvik -l version -d 'Show the version and exit'

complete -c zorvik -n __fish_use_subcommand -a play -d 'Play songs in the terminal'
complete -c zorvik -n __fish_use_subcommand -a render -d 'Render a song to an audio file'
complete -c zorvik -n __fish_use_subcommand -a info -d 'Describe a song'
complete -c zorvik -n __fish_use_subcommand -a song -d 'Convert songs to text and back'
complete -c zorvik -n __fish_use_subcommand -a bank -d 'Build and inspect sample banks'
complete -c zorvik -n '__zorvik_is song' -a decompile -d 'Write a song as text'
complete -c zorvik -n '__zorvik_is song' -a compile -d 'Build a song file from its text'
complete -c zorvik -n '__zorvik_is bank' -a build -d 'Build a bank from 1 to 16 audio files'
complete -c zorvik -n '__zorvik_is bank' -a list -d "Show a bank's header and samples"
complete -c zorvik -n '__zorvik_is bank' -a extract -d "Write a bank's samples as WAV files"

# play
complete -c zorvik -n '__zorvik_is play' -s l -l loops -x -d 'Play each song N times, then the next'
complete -c zorvik -n '__zorvik_is play' -s b -l bank -x -a '(__zorvik_files zvi)' -d 'Play every song with this bank'
complete -c zorvik -n '__zorvik_is play' -s w -l watch -d 'Reload a song or its bank when its file changes'
complete -c zorvik -n '__zorvik_is play' -s q -l quiet -d 'Show no screen, print nothing but errors'
complete -c zorvik -n '__zorvik_operand play 1 +' -a '(__zorvik_files zvo txt)'

# render
complete -c zorvik -n '__zorvik_is render' -l samples -x -d 'Render N samples'
complete -c zorvik -n '__zorvik_is render' -l loops -x -d 'Render the song N times'
complete -c zorvik -n '__zorvik_is render' -l seconds -x -d 'Render S seconds'
complete -c zorvik -n '__zorvik_is render' -s b -l bank -x -a '(__zorvik_files zvi)' -d 'Play with this bank'
complete -c zorvik -n '__zorvik_is render' -s r -l rate -x -a '22050 32000 32004 44100 48000 88200 96000' -d 'Convert to this sample rate'
complete -c zorvik -n '__zorvik_is render' -s g -l gain -x -d 'Scale by DB decibels, -60 to 60'
complete -c zorvik -n '__zorvik_operand render 1' -a '(__zorvik_files zvo txt)'
complete -c zorvik -n '__zorvik_operand render 2' -a '(__zorvik_files wav rf64 flac aif aiff ogg oga opus mp3 mid midi)'

# info
complete -c zorvik -n '__zorvik_operand info 1' -a '(__zorvik_files zvo txt)'

# song decompile, song compile
complete -c zorvik -n "__zorvik_is 'song decompile'" -s s -l sparse -d 'Write only the steps that hold a note'
complete -c zorvik -n "__zorvik_operand 'song decompile' 1" -a '(__zorvik_files zvo txt)'
complete -c zorvik -n "__zorvik_operand 'song decompile' 2" -a '(__zorvik_files txt)'
complete -c zorvik -n "__zorvik_is 'song compile'" -l strict -d 'Make warnings errors'
complete -c zorvik -n "__zorvik_operand 'song compile' 1" -a '(__zorvik_files txt)'
complete -c zorvik -n "__zorvik_operand 'song compile' 2" -a '(__zorvik_files zvo)'

# bank build, bank list, bank extract
complete -c zorvik -n "__zorvik_is 'bank build'" -s n -l name -x -d "The bank's name"
complete -c zorvik -n "__zorvik_is 'bank build'" -s a -l author -x -d "The bank's author"
complete -c zorvik -n "__zorvik_is 'bank build'" -s f -l fill -x -a 'silence default' -d 'What the samples no file is given for hold'
complete -c zorvik -n "__zorvik_operand 'bank build' 1" -a '(__zorvik_files zvi)'
complete -c zorvik -n "__zorvik_operand 'bank build' 2 +" -a '(__zorvik_files wav rf64 w64 flac aif aiff aifc ogg oga opus mp3 au snd caf voc)'
complete -c zorvik -n "__zorvik_operand 'bank list' 1" -a '(__zorvik_files zvi)'
complete -c zorvik -n "__zorvik_operand 'bank extract' 1" -a '(__zorvik_files zvi)'
complete -c zorvik -n "__zorvik_operand 'bank extract' 2" -a '(__fish_complete_directories)'
