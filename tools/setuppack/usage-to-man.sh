#!/usr/bin/env bash
# Writes the manual page setuppack(1) from the tool's own usage text, so that the two never
# tell different things: the usage lines become the synopsis, each command's paragraph and
# its options a section of their own.
# Usage: usage-to-man.sh SETUPPACK OUTPUT   (OUTPUT ending in .gz is compressed as Debian wants)
set -euo pipefail
tool=${1:?setuppack}
output=${2:?output}

version=$("$tool" --version)
usage=$("$tool" --help)

page=$(awk -v version="${version#setuppack }" '
# roff: backslashes, and a line that would start with a control character, are escaped; the
# hyphens of options and command lines are minus signs.
function roff(text) {
  gsub(/\\/, "\\e", text)
  gsub(/-/, "\\-", text)
  sub(/^[.'\'']/, "\\\\\\&&", text)
  return text
}
function flush_text() {
  if (paragraph != "") print roff(paragraph)
  paragraph = ""
}
BEGIN {
  print ".TH SETUPPACK 1 \"\" \"setuppack " version "\" \"User Commands\""
  print ".SH NAME"
  print "setuppack \\- packs product folders into self\\-contained Windows setup programs"
  section = "start"
}
/^Usage:/ { print ".SH SYNOPSIS"; section = "synopsis"; next }
section == "synopsis" && /^  setuppack/ {
  line = $0
  sub(/^ +/, "", line)
  print ".B " roff(line)
  print ".br"
  next
}
section == "synopsis" && /^$/ {
  print ".SH COMMANDS"
  section = "commands"
  next
}
section != "commands" { next }
# A command: its name at the start of the line, its description after it.
/^[a-z]+ / {
  flush_text()
  if (in_option) print ".RE"
  name = $1
  text = $0
  sub(/^[a-z]+ +/, "", text)
  print ".TP"
  print ".B " name
  paragraph = text
  in_option = 0
  next
}
# An option: indented, its name and value, two spaces or more, its description.
/^ +--[a-z-]+/ {
  flush_text()
  line = $0
  sub(/^ +/, "", line)
  if (match(line, /  +/)) {
    option = substr(line, 1, RSTART - 1)
    text = substr(line, RSTART + RLENGTH)
  } else {
    option = line
    text = ""
  }
  if (!in_option) print ".RS"
  in_option = 1
  print ".TP"
  print ".B " roff(option)
  paragraph = text
  next
}
# A note at the left margin that names no single command: a paragraph of its own.
/^[^ ]/ {
  flush_text()
  if (in_option) print ".RE"
  in_option = 0
  print ".PP"
  paragraph = $0
  next
}
# Continued text of a command or an option.
/^ +/ {
  line = $0
  sub(/^ +/, "", line)
  paragraph = paragraph == "" ? line : paragraph " " line
  next
}
END {
  flush_text()
  if (in_option) print ".RE"
}
' <<<"$usage"

# Sections of the page alone: what the usage text leaves to the reader of the source.
cat <<'EOF'
.SH EXIT STATUS
0 when the command did its work, 1 when it failed, 2 for a wrong command line.
.SH ENVIRONMENT
.TP
.B SOURCE_DATE_EPOCH
Seconds since 1970, read in UTC: the build date that pack gives the setup data
when no \-\-date is given, as reproducible builds do.
.TP
.B SETUPPACK_DATA
The folder holding Setup.exe, setupdriver.exe and the files of preview, instead
of ../share/setuppack beside the executable.
.SH FILES
.TP
.I /usr/share/setuppack/Setup.exe
The setup program that pack appends the setup data to when no \-\-stub is given.
.TP
.I /usr/share/doc/setuppack/copyright
The licences of the components that Setup.exe contains: ship them with every
setup program.
EOF
)
case "$output" in
*.gz) printf '%s\n' "$page" | gzip -9n >"$output" ;;
*) printf '%s\n' "$page" >"$output" ;;
esac
