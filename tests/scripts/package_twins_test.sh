#!/bin/sh
# The package set-up's decisions on recorded apt answers (scripts/packages.sh): which multi-arch
# twins it pins, and at which versions, when the 32-bit index of the security suite did not
# download (data/*-lagging-index.txt, recorded on a machine where it failed), and that it pins
# nothing when the indexes are whole (data/policy-healthy.txt: the same tables with that index
# present). apt, dpkg and dpkg-query are replaced by commands that print the recordings, since a
# broken mirror cannot be made on demand.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data="$here/data"
scripts=$(cd "$here/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failures=$((failures + 1))
    printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
  fi
}

# Recorded answers: POLICY names the apt-cache policy recording in use.
mkdir -p "$work/bin"
cat >"$work/bin/apt-cache" <<EOF
#!/bin/sh
case "\$1" in
  depends) cat "$data/depends.txt" ;;
  show) cat "$data/show.txt" ;;
  policy) cat "$data/\$POLICY" ;;
  *) echo "unexpected apt-cache \$*" >&2; exit 2 ;;
esac
EOF
cat >"$work/bin/dpkg-query" <<EOF
#!/bin/sh
cat "$data/installed.txt"
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/bin/sh
case "$1" in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) echo i386 ;;
  *) echo "unexpected dpkg $*" >&2; exit 2 ;;
esac
EOF
chmod +x "$work/bin/"*

pins() {  # pins POLICY: what the resolver pins for wine32:i386
  POLICY="$1" PATH="$work/bin:$PATH" PKG_SCRIPTS="$scripts" sh -c \
    '. "$PKG_SCRIPTS/packages.sh"; pkg_twin_pins wine32:i386' | sort
}

# The lagging index: the pcre2 pair goes down to the version both offer, with every installed
# binary of its source package (so that libpcre2-dev, which pins the exact version, stays); the
# zlib pair is pinned where it already is; the GStreamer pair, installed on neither side, is
# pinned for both at the version both offer; libc6, whose candidates agree, is left to apt.
check "lagging index: pins" "$(cat <<'EOF'
libgstreamer-plugins-base1.0-0:amd64=1.22.0-3+deb12u6
libgstreamer-plugins-base1.0-0:i386=1.22.0-3+deb12u6
libpcre2-16-0:amd64=10.42-1
libpcre2-32-0:amd64=10.42-1
libpcre2-8-0:amd64=10.42-1
libpcre2-8-0:i386=10.42-1
libpcre2-dev:amd64=10.42-1
libpcre2-posix3:amd64=10.42-1
zlib1g:amd64=1:1.2.13.dfsg-1
zlib1g:i386=1:1.2.13.dfsg-1
EOF
)" "$(pins policy-lagging-index.txt)"

check "healthy indexes: no pins" "" "$(pins policy-healthy.txt)"

# A pair with no version in common cannot be matched: the decision says so.
sed '/^libpcre2-8-0:i386:/,/^libc6/ s/^     10\.42-1 500$/     10.41-9 500/' "$data/policy-lagging-index.txt" >"$work/no-common.txt"
check "no common version" "libpcre2-8-0 -" \
  "$(awk -v native=amd64 -v foreign=i386 -f "$scripts/multiarch-twins.awk" "$work/no-common.txt" | grep pcre2)"

# The one line that names the indexes which did not download.
check "failed index line" \
  "http://mirror.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz (File has unexpected size (374820 != 376004). Mirror sync in progress?)" \
  "$(PKG_SCRIPTS="$scripts" sh -c '. "$PKG_SCRIPTS/packages.sh"; pkg_failed_indexes "$1"' sh "$data/update-lagging-index.txt")"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
