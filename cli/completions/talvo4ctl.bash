# bash completion for talvo4ctl                            -*- shell-script -*-
#
# Key names come from `talvo4ctl keys` at completion time, so they follow the
# key table of the installed program; the other words are the ones its
# --help lists (tests/cli/completions_check.py keeps them in step). It needs
# bash-completion, which loads it.

_talvo4ctl_key_names() {
    # A talvo4ctl run from a build tree is not on PATH: no names then.
    command -v talvo4ctl >/dev/null 2>&1 || return 0
    talvo4ctl keys 2>/dev/null | cut -f1
}

_talvo4ctl() {
    local commands='list watch key keys slot capture timing rom doctor'
    local options='--simulate --device --wait --trace -q --quiet -o --output --json --format
        --record --replay --replay-speed -h --help -v --version --simulate-fault
        --simulate-devices --simulate-speed --simulate-reset'
    local faults='vanish-after: silent-after: answer-delay: fpga: size: bad-rom-cell:
        checksum-never-ready timing-base: keyboard-first stall-once: stall-from: refuse:'
    local parameters='h2pos= v2pos= h2size= v2size= clamp_start= clamp_width= hst= vst= hsw=
        vsw= ph1pos= ph1size= pv1pos= pv1size='

    # The words as typed, not broken at = and :, which NAME=VALUE, FAULT:N,
    # --option=VALUE and file names may hold.
    local cur prev words cword
    _init_completion -n =: || return
    if [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        cur=${cur#*=}
    fi

    # The words that are neither options nor their values: the command and
    # its arguments.
    local -a args=()
    local i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --device | --wait | -o | --output | --format | --simulate-fault | --record | --replay | \
            --replay-speed | --simulate-devices | --simulate-speed) ((i++)) ;;
        -*) ;;
        *) args+=("${words[i]}") ;;
        esac
    done

    COMPREPLY=()
    case $prev in
    --device)
        local -a nodes=(/dev/hidraw*)
        [[ -e ${nodes[0]} ]] && mapfile -t COMPREPLY < <(compgen -W "${nodes[*]}" -- "$cur")
        ;;
    -o | --output | --record | --replay)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        ;;
    --format)
        mapfile -t COMPREPLY < <(compgen -W 'bmp png' -- "$cur")
        ;;
    --replay-speed)
        mapfile -t COMPREPLY < <(compgen -W 'instant recorded' -- "$cur")
        return 0
        ;;
    --simulate-speed)
        mapfile -t COMPREPLY < <(compgen -W 'usb instant' -- "$cur")
        return 0
        ;;
    --simulate-fault)
        [[ $cur == *:* ]] || mapfile -t COMPREPLY < <(compgen -W "$faults" -- "$cur")
        ;;
    --wait | --simulate-devices) return 0 ;;
    *)
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        else
            case ${#args[@]}:${args[0]-}:${args[1]-} in
            0::) mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur") ;;
            *:key:*) mapfile -t COMPREPLY < <(compgen -W "$(_talvo4ctl_key_names)" -- "$cur") ;;
            1:slot:) mapfile -t COMPREPLY < <(compgen -W 'rec show live' -- "$cur") ;;
            2:slot:rec | 2:slot:show) mapfile -t COMPREPLY < <(compgen -W '1 2 3 4' -- "$cur") ;;
            1:timing:) mapfile -t COMPREPLY < <(compgen -W 'show save load set' -- "$cur") ;;
            *:timing:set)
                [[ $cur == *=* ]] || mapfile -t COMPREPLY < <(compgen -W "$parameters" -- "$cur")
                ;;
            1:rom:) mapfile -t COMPREPLY < <(compgen -W 'write verify' -- "$cur") ;;
            2:timing:save | 2:timing:load | 2:rom:write | 2:rom:verify)
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                ;;
            esac
        fi
        ;;
    esac
    # A word that still takes its value after = or : goes on without a space.
    if ((${#COMPREPLY[@]} == 1)) && [[ ${COMPREPLY[0]} == *[=:] ]]; then
        compopt -o nospace 2>/dev/null
    fi
    _talvo4ctl_ltrim_breaks "$cur"
    return 0
}

# Bash replaces only what follows the last = or : of the word (where
# COMP_WORDBREAKS has them), so each offer loses what comes before it:
# __ltrim_colon_completions, for = as well as :, in one pass, since a name
# such as fw=v2:b.bin holds both.
_talvo4ctl_ltrim_breaks() {
    local breaks="" c
    for c in = :; do
        [[ $COMP_WORDBREAKS == *"$c"* ]] && breaks+=$c
    done
    [[ -n $breaks && $1 == *["$breaks"]* ]] || return 0
    local before=${1%"${1##*["$breaks"]}"}
    local i
    for i in "${!COMPREPLY[@]}"; do
        COMPREPLY[i]=${COMPREPLY[i]#"$before"}
    done
}

complete -F _talvo4ctl talvo4ctl
