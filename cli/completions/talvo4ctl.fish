# fish completion for talvo4ctl
#
# Key names come from `talvo4ctl keys` at completion time, so they follow the
# key table of the installed program; the other words are the ones its
# --help lists (tests/cli/completions_check.py keeps them in step).

# The words so far that are neither options nor their values: the command
# and its arguments.
function __talvo4ctl_args
    set -l skip 0
    for word in (commandline -opc)[2..-1]
        if test $skip = 1
            set skip 0
            continue
        end
        switch $word
            case --device --wait -o --output --format --simulate-fault --record --replay \
                --replay-speed --simulate-devices --simulate-speed
                set skip 1
            case '-*'
            case '*'
                echo $word
        end
    end
end

# True when the command and its arguments so far are exactly these words.
function __talvo4ctl_wants
    test "$(__talvo4ctl_args | string join ' ')" = "$argv"
end

# True when the command and its arguments so far begin with these words.
function __talvo4ctl_after
    set -l args (__talvo4ctl_args)
    set -l n (count $argv)
    test (count $args) -ge $n; and test "$args[1..$n]" = "$argv"
end

function __talvo4ctl_key_names
    # A talvo4ctl run from a build tree is not on PATH: no names then.
    command -q talvo4ctl; and talvo4ctl keys 2>/dev/null | string replace -r '\t.*' ''
end

complete -c talvo4ctl -f

complete -c talvo4ctl -l simulate -d 'Use the built-in simulated TALVO-4'
complete -c talvo4ctl -l device -x -a '(for node in /dev/hidraw*; echo $node; end)' \
    -d 'Use the TALVO-4 at this device node'
complete -c talvo4ctl -l wait -x -d 'Wait up to this many seconds for a free TALVO-4'
complete -c talvo4ctl -l trace -d 'Print every report as hex on standard error'
complete -c talvo4ctl -s q -l quiet -d 'Print only results and errors'
complete -c talvo4ctl -s o -l output -r -F -d 'The file capture writes'
complete -c talvo4ctl -l json -d 'Print results as JSON'
complete -c talvo4ctl -l format -x -a 'bmp png' -d 'Picture file format'
complete -c talvo4ctl -l record -r -F -d 'Write every report and the result into this file'
complete -c talvo4ctl -l replay -r -F -d 'Answer from this recording instead of a device'
complete -c talvo4ctl -l replay-speed -x -a 'instant recorded' \
    -d 'Answer at once or after the recorded waits'
complete -c talvo4ctl -s h -l help -d 'Show the help'
complete -c talvo4ctl -s v -l version -d 'Show the version'
complete -c talvo4ctl -l simulate-fault -x -d 'Make the simulated device misbehave' \
    -a 'vanish-after: silent-after: answer-delay: fpga: size: bad-rom-cell: checksum-never-ready
        timing-base: keyboard-first stall-once: stall-from: refuse:'

complete -c talvo4ctl -l simulate-devices -x -d 'Make this many simulated TALVO-4s'
complete -c talvo4ctl -l simulate-speed -x -a 'usb instant' \
    -d 'How fast the simulated link carries reports'
complete -c talvo4ctl -l simulate-reset -d 'The simulated device opened starts afresh'

complete -c talvo4ctl -n __talvo4ctl_wants -a list -d 'Every TALVO-4 interface'
complete -c talvo4ctl -n __talvo4ctl_wants -a watch -d 'Every TALVO-4 that arrives or leaves'
complete -c talvo4ctl -n __talvo4ctl_wants -a key -d 'Send remote-control keys'
complete -c talvo4ctl -n __talvo4ctl_wants -a keys -d 'Every key: name, caption, code, button'
complete -c talvo4ctl -n __talvo4ctl_wants -a slot -d 'Record or show an image slot'
complete -c talvo4ctl -n __talvo4ctl_wants -a capture -d 'Capture one picture'
complete -c talvo4ctl -n __talvo4ctl_wants -a timing -d 'Show, save, load or change the timing'
complete -c talvo4ctl -n __talvo4ctl_wants -a rom -d 'Write a file into the ROM or check it'
complete -c talvo4ctl -n __talvo4ctl_wants -a doctor -d 'Check what keeps the TALVO-4 from use'

complete -c talvo4ctl -n '__talvo4ctl_after key' -a '(__talvo4ctl_key_names)'

complete -c talvo4ctl -n '__talvo4ctl_wants slot' -a rec -d 'Record the picture into a slot'
complete -c talvo4ctl -n '__talvo4ctl_wants slot' -a show -d 'Show an image slot'
complete -c talvo4ctl -n '__talvo4ctl_wants slot' -a live -d 'Back to the live picture'
complete -c talvo4ctl -n '__talvo4ctl_wants slot rec; or __talvo4ctl_wants slot show' -a '1 2 3 4'

complete -c talvo4ctl -n '__talvo4ctl_wants timing' -a show -d 'The timing parameters and block'
complete -c talvo4ctl -n '__talvo4ctl_wants timing' -a save -d 'Save the timing data to a file'
complete -c talvo4ctl -n '__talvo4ctl_wants timing' -a load -d 'Write a timing data file'
complete -c talvo4ctl -n '__talvo4ctl_wants timing' -a set -d 'Change timing parameters'
complete -c talvo4ctl -n '__talvo4ctl_wants timing save; or __talvo4ctl_wants timing load' -F
complete -c talvo4ctl -n '__talvo4ctl_after timing set' -a 'h2pos= v2pos= h2size= v2size=
    clamp_start= clamp_width= hst= vst= hsw= vsw= ph1pos= ph1size= pv1pos= pv1size='

complete -c talvo4ctl -n '__talvo4ctl_wants rom' -a write -d 'Write a file into the ROM'
complete -c talvo4ctl -n '__talvo4ctl_wants rom' -a verify -d 'Check the ROM against a file'
complete -c talvo4ctl -n '__talvo4ctl_wants rom write; or __talvo4ctl_wants rom verify' -F
