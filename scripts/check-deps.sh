#!/usr/bin/env bash
# Fails when the build used a file of a Debian package that a fresh machine lacks and that
# scripts/install-deps.sh neither installs nor pulls in through its dependencies: such a build
# passes here and breaks on a fresh machine. The build trees' own records (ninja -t deps) name
# every header each compilation read; dpkg -S names the package of each.
#   scripts/check-deps.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
top=${1:-build}

trees=()
for dir in "$top" "$top"/*/; do
  dir=${dir%/}
  [ -f "$dir/.ninja_deps" ] && trees+=("$dir")
done
if [ ${#trees[@]} -eq 0 ]; then
  echo "check-deps: no ninja build records below $top; build first" >&2
  exit 2
fi

files=$(for dir in "${trees[@]}"; do ninja -C "$dir" -t deps; done |
  sed -n 's/^ *\(\/usr\/[^ ]*\)$/\1/p' | sort -u | xargs -r realpath -e 2>/dev/null | sort -u)
# "package[:arch][, package...]: /path"
owners=$(printf '%s\n' "$files" | xargs -r dpkg -S 2>/dev/null || true)
used=$(printf '%s\n' "$owners" | sed 's/: \/.*$//' | tr ',' '\n' | sed 's/^ *//; s/:.*$//' | grep -v '^$' | sort -u)

# What the set-up installs, with everything it depends on or recommends (apt installs both).
named=$(scripts/install-deps.sh --list)
closure=$( { printf '%s\n' "$named"
  printf '%s\n' "$named" | xargs -r apt-cache depends --recurse --installed --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances 2>/dev/null |
    sed -n 's/^\([a-z0-9][^ ]*\)$/\1/p; s/^ *|\{0,1\}\(Pre\)\{0,1\}Depends: <\{0,1\}\([^>]*\)>\{0,1\}$/\2/p; s/^ *|\{0,1\}Recommends: <\{0,1\}\([^>]*\)>\{0,1\}$/\1/p'
} | sed 's/:.*$//' | sort -u)
fresh=$(grep -v '^#' scripts/fresh-machine-packages.txt | sort -u)

lacking=$(comm -23 <(printf '%s\n' "$used") <( { printf '%s\n' "$closure"; printf '%s\n' "$fresh"; } | sort -u))
if [ -n "$lacking" ]; then
  echo "check-deps: the build used files of Debian packages that a fresh machine lacks and that"
  echo "scripts/install-deps.sh neither installs nor pulls in; add them to its list:"
  for package in $lacking; do
    example=$(printf '%s\n' "$owners" | grep -E "(^|, )$package(:[a-z0-9]+)?(,|:)" | head -n 1 | sed 's/^.*: //')
    echo "  $package (for example $example)"
  done
  exit 1
fi
echo "check-deps: every package the build used is installed by scripts/install-deps.sh or on a fresh machine ($(printf '%s\n' "$used" | wc -l) packages, ${#trees[@]} build trees)"
