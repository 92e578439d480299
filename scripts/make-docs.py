#!/usr/bin/python3
"""Documents that the build derives from the program itself, so that they cannot fall behind it.

  make-docs.py cli-manpage CLI TEMPLATE OUTPUT
      The manual page of logwarden-cli: TEMPLATE with %COMMANDS% replaced by every command that
      'CLI --help' lists, each with the usage and text of 'CLI COMMAND --help'.
  make-docs.py changelog METAINFO MAINTAINER OUTPUT
      The Debian changelog of the package, written from the releases of the AppStream metadata.
"""
import email.utils
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from datetime import datetime, timezone


def run(*args):
    done = subprocess.run(args, capture_output=True, text=True, check=False)
    if done.returncode != 0:
        sys.exit(f"make-docs: {' '.join(args)} failed ({done.returncode}): {done.stderr.strip()}")
    return done.stdout


def roff(text, option=False):
    """Text for a roff line: backslashes and a leading control character escaped, and the dashes that
    begin an option (every dash of an option name) written as minus signs, so that they can be copied."""
    text = text.replace("\\", "\\e")
    if option:
        text = text.replace("-", "\\-")
    else:
        text = re.sub(r"(?<![\w-])--?\w[\w-]*", lambda m: m.group(0).replace("-", "\\-"), text)
    return "\\&" + text if text[:1] in (".", "'") else text


def usage_roff(usage):
    """A usage line with options in bold and the values to fill in in italics."""
    out = []
    for token in re.split(r"([\s\[\]()|]+)", usage):
        if token.startswith("-"):
            name, eq, value = token.partition("=")
            out.append(f"\\fB{roff(name, option=True)}\\fR" + (f"=\\fI{roff(value)}\\fR" if eq else ""))
        elif re.fullmatch(r"[A-Z][A-Z0-9_.-]*", token):
            out.append(f"\\fI{roff(token)}\\fR")
        else:
            out.append(roff(token))
    return "".join(out)


def commands(cli):
    """The command names in the order 'CLI --help' lists them."""
    names, in_list = [], False
    for line in run(cli, "--help").splitlines():
        if line.rstrip().endswith("Commands:"):
            in_list = True
        elif in_list and re.match(r"^  \S", line):
            names.append(line.split()[0])
        elif in_list and line.strip() and not line.startswith("  "):
            in_list = False
    if not names:
        sys.exit(f"make-docs: '{cli} --help' lists no commands")
    return names


def command_section(cli, name):
    lines = run(cli, name, "--help").rstrip("\n").splitlines()
    prefix = "Usage: logwarden-cli "
    if not lines or not lines[0].startswith(prefix):
        sys.exit(f"make-docs: '{cli} {name} --help' does not begin with '{prefix}'")
    out = [f'.SS "{name}"', ".TP", f"\\fBlogwarden\\-cli\\fR {usage_roff(lines[0][len(prefix):])}"]
    preformatted = False
    for line in lines[1:]:
        indented = line.startswith((" ", "\t"))
        if indented != preformatted:
            out.append(".nf" if indented else ".fi")
            preformatted = indented
        if not line.strip():
            out.append(".IP" if not preformatted else "")
        else:
            out.append(roff(line))
    if preformatted:
        out.append(".fi")
    return "\n".join(out)


def cli_manpage(cli, template, output):
    sections = "\n".join(command_section(cli, name) for name in commands(cli))
    with open(template, encoding="utf-8") as f:
        page = f.read()
    if "%COMMANDS%" not in page:
        sys.exit(f"make-docs: {template} has no %COMMANDS%")
    with open(output, "w", encoding="utf-8") as f:
        f.write(page.replace("%COMMANDS%", sections))


def changelog(metainfo, maintainer, output):
    releases = ET.parse(metainfo).getroot().findall("./releases/release")
    if not releases:
        sys.exit(f"make-docs: {metainfo} has no release")
    entries = []
    for release in releases:
        version, date = release.get("version"), release.get("date")
        when = datetime.strptime(date, "%Y-%m-%d").replace(tzinfo=timezone.utc)
        notes = [" ".join("".join(p.itertext()).split()) for p in release.iterfind("./description/*")]
        notes = [n for n in notes if n] or [f"Release {version}."]
        body = "\n".join("  * " + wrap(n, 76, "    ") for n in notes)
        entries.append(f"logwarden ({version}) unstable; urgency=medium\n\n{body}\n\n"
                       f" -- {maintainer}  {email.utils.format_datetime(when)}\n")
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(entries))


def wrap(text, width, indent):
    lines, line = [], ""
    for word in text.split():
        if line and len(line) + 1 + len(word) > width:
            lines.append(line)
            line = word
        else:
            line = f"{line} {word}" if line else word
    lines.append(line)
    return f"\n{indent}".join(lines)


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "cli-manpage":
        cli_manpage(*sys.argv[2:])
    elif len(sys.argv) == 5 and sys.argv[1] == "changelog":
        changelog(*sys.argv[2:])
    else:
        sys.exit(__doc__)
