#!/usr/bin/env python3
"""completions_check: talvo4ctl's bash, zsh and fish completions offer exactly
the commands, subcommands, options and words that the built program's --help,
`keys` and `timing show` have; each missing or extra word is named.

Usage: completions_check.py TALVO4CTL COMPLETIONS_DIR
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

CTL, FOLDER = sys.argv[1], sys.argv[2]
# Real completions: the command line before <TAB>, then what it must offer.
TYPED = [
    ("talvo4ctl ro", lambda e: {"rom"}),
    ("talvo4ctl key u", lambda e: {k for k in e["keys"] if k.startswith("u")}),
    ("talvo4ctl --device /dev/x ro", lambda e: {"rom"}),
    ("talvo4ctl --replay x.jsonl --replay-speed instant do", lambda e: {"doctor"}),
    ("talvo4ctl --simulate-fault vanish-after:3 ti", lambda e: {"timing"}),
    ("talvo4ctl timing set h2pos=300 v", lambda e: {p for p in e["timing set"] if p[0] == "v"}),
]


# File names that hold = or :, which bash breaks the word at: the line
# before <TAB>, and what bash must be offered for the part after the last
# break, which is all it replaces (not fw=fw=v2.bin).
FILES = ["fw=v2.bin", "a:b.bin", "x=y:z.bin"]
BASH_TYPED = [
    ("talvo4ctl rom write fw=v", {"v2.bin"}),
    ("talvo4ctl rom write a:", {"b.bin"}),
    ("talvo4ctl timing load x=y:", {"z.bin"}),
    ("talvo4ctl capture -o fw=", {"v2.bin"}),
    ("talvo4ctl capture --output=fw=v", {"v2.bin"}),
]
BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"


def Run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, check=True, timeout=10,
                          **kwargs).stdout


def SyntaxFaults(shell, path):
    """The shell's own check, where that shell is installed."""
    if not shutil.which(shell):
        return []
    checked = subprocess.run([shell, "-n", path], capture_output=True, text=True, timeout=10)
    if checked.returncode == 0:
        return []
    return [f"{shell} -n {os.path.basename(path)}: {checked.stderr.strip()}"]


def Expected():
    words = {"commands": set(), "options": set(), "--simulate-fault": set()}
    section = ""
    for line in Run(CTL, "--help").splitlines():
        if re.match(r"\S.*:$", line):
            section = line
        elif section == "Commands:" and (m := re.match(r"  ([a-z]+)(?: ([a-z]+)(?!\S))?", line)):
            words["commands"].add(m[1])
            if m[2]:
                words.setdefault(m[1], set()).add(m[2])
        elif m := re.match(r"  (?:(-\w), )?(--[a-z-]+)(?: (\S+))?", line):
            words["options"] |= {m[2]} | ({m[1]} if m[1] else set())
            if m[3] and "|" in m[3]:
                words[m[2]] = set(m[3].split("|"))
        elif section.startswith("Developer") and (m := re.match(r"  ([a-z-]+)(:?)", line)):
            words["--simulate-fault"].add(m[1] + m[2])
    words["keys"] = {row.split("\t")[0] for row in Run(CTL, "keys").splitlines()}
    with tempfile.TemporaryDirectory() as runtime:  # its own lock of the simulated device
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        shown = Run(CTL, "--simulate", "timing", "show", env=env)
    words["timing set"] = {name + "=" for name in re.findall(r"^([a-z][\w]*) +\d+$", shown, re.M)}
    return words


def Split(line):
    """COMP_WORDS as bash makes them: = and : are words of their own."""
    return [p for word in line.split(" ") for p in re.split(r"([=:])", word) if p] + (
        [""] if line.endswith(" ") else [])


def BashOffers(path, typed, env):
    asked = {"commands": "talvo4ctl ", "options": "talvo4ctl -", "--format": "talvo4ctl --format ",
             "--simulate-fault": "talvo4ctl --simulate --simulate-fault ",
             "slot": "talvo4ctl slot ", "timing": "talvo4ctl timing ", "rom": "talvo4ctl rom ",
             "timing set": "talvo4ctl timing set "}
    lines = list(asked.values()) + typed
    # As bash calls it: the words broken at = and :, the line, the cursor at its end.
    script = f"source {BASH_COMPLETION}\nsource {shlex.quote(os.path.abspath(path))}\n" + "".join(
        f"COMP_WORDS=({' '.join(map(shlex.quote, Split(line)))}); "
        f"COMP_CWORD=$((${{#COMP_WORDS[@]}} - 1)); COMP_LINE={shlex.quote(line)}; "
        f"COMP_POINT=${{#COMP_LINE}}; _talvo4ctl; "
        f"printf '%s\\n' \"${{COMPREPLY[@]}}\" @@\n"
        for line in lines)
    with tempfile.TemporaryDirectory() as folder:
        for name in FILES:
            open(os.path.join(folder, name), "w").close()
        replies = Run("bash", "--norc", "-c", script, env=env, cwd=folder).split("@@\n")
    got = [set(reply.split()) for reply in replies[:len(lines)]]
    return dict(zip(asked, got)), got[len(asked):]


def ZshOffers(path):
    text = open(path).read()
    arrays = {m[1]: shlex.split(m[2])
              for m in re.finditer(r"^local -a (\w+)=\(\n(.*?)^\)", text, re.M | re.S)}
    offers = {what: {word.split(":")[0] for word in arrays[name + "_commands"]}
              for what, name in (("commands", "talvo"), ("slot", "slot"), ("timing", "timing"),
                                 ("rom", "rom"))}
    offers["--simulate-fault"] = set(arrays["faults"])
    offers["timing set"] = set(arrays["parameters"])
    offers["options"] = {re.match(r"(?:\([^)]*\))?\*?(-[\w-]+)", entry)[1]
                         for entry in arrays["options"]}
    offers["--format"] = set(re.search(r"'--format=\[.*:\((.*)\)'", text)[1].split())
    return offers


def FishOffers(path):
    offers = {"options": set()}
    for line in open(path).read().replace("\\\n", " ").split("\ncomplete "):
        if line.startswith("-c talvo4ctl "):
            words = shlex.split(line)
            flags = {flag: value for flag, value in zip(words, words[1:])
                     if flag in ("-n", "-l", "-s", "-a")}
            offers["options"] |= {"--" + flags["-l"]} if "-l" in flags else set()
            offers["options"] |= {"-" + flags["-s"]} if "-s" in flags else set()
            # Where the words are offered: after an option, or after the words a condition names.
            where = "--" + flags["-l"] if "-l" in flags else re.sub(
                r"__talvo4ctl_(wants|after) ?", "", flags.get("-n", "")) or "commands"
            if not flags.get("-a", "(").startswith("("):
                offers.setdefault(where, set()).update(flags["-a"].split())
    return offers


def Compare(shell, expected, offers):
    faults = []
    for what in ("commands", "slot", "timing", "rom", "options", "--format", "--simulate-fault",
                 "timing set"):
        got, want = offers.get(what, set()), expected.get(what, set())
        source = "talvo4ctl --simulate timing show" if what == "timing set" else "talvo4ctl --help"
        for word in sorted(want - got):
            faults.append(f"{shell}: '{what}' does not offer {word}, which {source} has")
        for word in sorted(got - want):
            faults.append(f"{shell}: '{what}' offers {word}, which {source} does not have")
    return faults


def FishTyped(path, env):
    script = f"source {shlex.quote(path)}\n" + "".join(
        f"complete -C {shlex.quote(line)}; echo @@\n" for line, _ in TYPED)
    replies = Run("fish", "--no-config", "-c", script, env=env).split("@@\n")
    return [{row.split("\t")[0] for row in reply.splitlines()} for reply in replies[:len(TYPED)]]


def TypedFaults(shell, expected, replies):
    return [f"{shell}: {line}<TAB> offers {sorted(got)}, not {sorted(want(expected))}"
            for (line, want), got in zip(TYPED, replies) if got != want(expected)]


def main():
    expected = Expected()
    # Key names come from the talvo4ctl on PATH: the one just built.
    path = os.path.dirname(os.path.abspath(CTL)) + os.pathsep + os.environ["PATH"]
    env = dict(os.environ, PATH=path)
    bash, zsh, fish = (os.path.join(FOLDER, name)
                       for name in ("talvo4ctl.bash", "_talvo4ctl", "talvo4ctl.fish"))
    faults = SyntaxFaults("bash", bash) + SyntaxFaults("zsh", zsh) + SyntaxFaults("fish", fish)
    if faults:
        print("\n".join(faults))
        return 1
    if shutil.which("bash") and not os.path.exists(BASH_COMPLETION):
        faults.append(f"bash: {BASH_COMPLETION} is missing; install bash-completion")
    elif shutil.which("bash"):
        offers, typed = BashOffers(bash, [line for line, _ in TYPED + BASH_TYPED], env)
        faults += Compare("bash", expected, offers) + TypedFaults("bash", expected, typed)
        faults += [f"bash: {line}<TAB> offers {sorted(got)}, not {sorted(want)}"
                   for (line, want), got in zip(BASH_TYPED, typed[len(TYPED):]) if got != want]
    faults += Compare("zsh", expected, ZshOffers(zsh))
    faults += Compare("fish", expected, FishOffers(fish))
    if shutil.which("fish"):
        faults += TypedFaults("fish", expected, FishTyped(fish, env))
    print("\n".join(faults) or "completions_check: every completion offers what talvo4ctl has")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
