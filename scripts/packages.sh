# Installing Debian packages: the one place the set-up scripts call apt. Sourced (POSIX sh):
#
#   . scripts/packages.sh
#   pkg_install NAME[:ARCH]...    installs those not installed yet (adding a foreign
#                                 architecture that a NAME:ARCH needs); exits with a message that
#                                 names the package and the likely cause when one cannot be had
#   pkg_set SET...                the packages of a set: native (the Linux builds, the player and
#                                 their tests), windows (the cross builds, Wine, the engine
#                                 client), packaging (the archives), peers (the players compared)
#
# What it copes with:
# - A package index that does not download (a mirror in the middle of a sync answers with a
#   file of the wrong size, for days at times). "apt-get update" is tried a few times with a
#   pause; if some indexes still fail, one line says which, and the install goes on with the
#   indexes that did download.
# - Multi-arch twins that no longer match. A library that both architectures install
#   (Multi-Arch: same) must be at one version on both. When the 32-bit index of a suite is
#   missing, its installed 64-bit twin can be newer than any 32-bit one on offer, and apt
#   refuses the 32-bit package ("held broken packages"). Only then, after the plain install
#   failed, each such pair is installed at the newest version both architectures offer (a
#   downgrade of the 64-bit one where needed, said plainly), together with the other installed
#   packages of the same source package at the same version, so that nothing that pins the
#   exact version is removed; apt runs with --no-remove, and afterwards every package that was
#   installed before is checked to be there still.
#
# PKG_SCRIPTS (required) is this folder; PKG_TAG names the caller in messages (default "packages"); PKG_UPDATE_TRIES and
# PKG_UPDATE_PAUSE set the retries of "apt-get update" (3 tries, 10 s apart).

# The caller sets PKG_SCRIPTS to this folder (where multiarch-twins.awk lies).
pkg_here=${PKG_SCRIPTS:?PKG_SCRIPTS must name the folder of packages.sh}
pkg_updated=0

pkg_set() {
  for pkg_set_name in "$@"; do
    case "$pkg_set_name" in
      native) echo build-essential cmake pkg-config libboost-thread-dev libsqlite3-dev googletest \
        libgtest-dev libbenchmark-dev libpixman-1-dev libpng-dev libx11-dev libxext-dev xvfb xauth \
        libavformat-dev libavcodec-dev libswscale-dev libavutil-dev libyuv-dev ffmpeg libcairo2-dev \
        clang-16 python3 ;;
      # wine32:i386 runs the 32-bit tests; clang-16, lld-16 and llvm-16 build the engine client
      # for the Windows compilers' ABI; the rest builds the libraries from Debian's sources
      # (nasm: FFmpeg's x86 assembly); xdotool drags the Windows player's border as a user
      # does, x11-utils finds its window and the screen's size.
      windows) echo g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 wine32:i386 xvfb \
        dpkg-dev patch patchutils xz-utils tcl gcc make cmake libboost1.74-dev googletest \
        clang-16 lld-16 llvm-16 nasm xdotool x11-utils ;;
      # zip, and binutils for objcopy (the install step) and the checks (objdump, addr2line,
      # strings, readelf).
      packaging) echo zip unzip binutils ;;
      peers) echo mpv ffmpeg gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
        gstreamer1.0-plugins-bad gstreamer1.0-libav gstreamer1.0-x time xvfb xauth ;;
      *) pkg_die "no package set $pkg_set_name" ;;
    esac
  done
}

pkg_log() { printf '%s: %s\n' "${PKG_TAG:-packages}" "$*" >&2; }
pkg_die() { pkg_log "error: $*"; exit 1; }

pkg_as_root() {
  if [ "$(id -u)" -eq 0 ]; then env DEBIAN_FRONTEND=noninteractive "$@"
  elif command -v sudo >/dev/null 2>&1; then sudo env DEBIAN_FRONTEND=noninteractive "$@"
  else pkg_die "not root, and these packages are missing: ${pkg_wanted:-} (install them with: apt-get install ${pkg_wanted:-})"
  fi
}

pkg_native_arch() { dpkg --print-architecture; }

# pkg_is_installed NAME[:ARCH]
pkg_is_installed() {
  dpkg-query -W -f='${db:Status-Abbrev}\n' "$1" 2>/dev/null | grep -q '^ii'
}

# pkg_missing NAME...: prints the names that are not installed, one per line.
pkg_missing() {
  for pkg_name in "$@"; do
    pkg_is_installed "$pkg_name" || printf '%s\n' "$pkg_name"
  done
}

# pkg_failed_indexes FILE: the index files apt's messages in FILE say failed to download, each
# with apt's reason, on one line.
pkg_failed_indexes() {
  sed -n 's/^[EW]: Failed to fetch \([^ ]*\) *\(.*\)$/\1 (\2)/p' "$1" | sed 's/ \[IP: [^]]*\]//' \
    | awk 'NR > 1 { printf "; " } { printf "%s", $0 } END { if (NR) print "" }'
}

# pkg_update: "apt-get update", once per run; a lagging index is reported and ridden out.
pkg_update() {
  [ "$pkg_updated" -eq 0 ] || return 0
  pkg_updated=1
  pkg_errors=$(mktemp)
  pkg_try=1
  while :; do
    if pkg_as_root apt-get update -q >/dev/null 2>"$pkg_errors"; then
      rm -f "$pkg_errors"
      return 0
    fi
    [ "$pkg_try" -lt "${PKG_UPDATE_TRIES:-3}" ] || break
    pkg_try=$((pkg_try + 1))
    sleep "${PKG_UPDATE_PAUSE:-10}"
  done
  pkg_failed=$(pkg_failed_indexes "$pkg_errors")
  if [ -n "$pkg_failed" ]; then
    pkg_log "after ${PKG_UPDATE_TRIES:-3} tries these package indexes did not download; going on without them: $pkg_failed"
  else
    pkg_log "apt-get update failed ${PKG_UPDATE_TRIES:-3} times ($(grep '^E:' "$pkg_errors" | head -n 1)); going on with the indexes at hand"
  fi
  rm -f "$pkg_errors"
}

pkg_apt_install() {
  pkg_as_root apt-get install -y -q --no-install-recommends "$@"
}

# pkg_explain NAME...: for each package that apt cannot install on its own, a line with apt's
# reason and the likely cause.
pkg_explain() {
  for pkg_name in "$@"; do
    pkg_out=$(apt-get install -s -q --no-install-recommends "$pkg_name" 2>&1) && continue
    pkg_reason=$(printf '%s\n' "$pkg_out" | grep -E '^E:|^ .*: (Pre)?Depends:' | head -n 3 | tr -s ' \n' ' ')
    case "$pkg_out" in
      *"Unable to locate package"*|*"has no installation candidate"*)
        pkg_cause="no downloaded package index offers it (a misspelt name, or an index that failed above)" ;;
      *"held broken packages"*|*"unmet dependencies"*)
        pkg_cause="its dependencies clash with installed packages (for a 32-bit package: installed 64-bit libraries at versions no 32-bit index at hand offers)" ;;
      *) pkg_cause="see apt's message" ;;
    esac
    printf '  %s: %s; likely cause: %s\n' "$pkg_name" "$pkg_reason" "$pkg_cause"
  done
}

# pkg_twin_pins NAME...: prints "NAME:ARCH=VERSION" for each multi-arch pair (and its same-source
# siblings) that has to be installed at the other version so that the packages NAME... can be
# installed, or fails when a pair has no version both architectures offer.
pkg_twin_pins() {
  pkg_native=$(pkg_native_arch)
  pkg_work=$(mktemp -d)
  dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture} ${Version} ${source:Package} ${Multi-Arch}\n' \
    | awk '$1 ~ /^ii/ { print $2, $3, $4, ($5 == "" ? "no" : $5) }' >"$pkg_work/installed"
  # What the packages asked for would bring in, as NAME:ARCH (apt-cache leaves the native
  # architecture off; alternatives and providers are over-counted, which only widens the
  # search for pairs).
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "$@" 2>/dev/null \
    | awk -v native="$pkg_native" '/^[^ <]/ { n = $1; if (n !~ /:/) n = n ":" native; print n }' \
    | sort -u >"$pkg_work/wanted"
  # How each wanted package is marked for multi-arch ("same": both architectures may install it,
  # at one version), from the indexes; installed ones say it themselves.
  # shellcheck disable=SC2046
  apt-cache show --no-all-versions $(cat "$pkg_work/wanted") 2>/dev/null \
    | awk '/^Package:/ { p = $2 } /^Architecture:/ { a = $2 } /^Multi-Arch:/ { m = $2 }
           /^$/ { if (p != "") print p ":" a, m; p = ""; m = "" }' >"$pkg_work/marks"
  # A pair: a Multi-Arch: same library that is installed or wanted on both architectures.
  { awk '{ print $1, $4 }' "$pkg_work/installed"; cat "$pkg_work/marks"
    awk '{ print $1, "?" }' "$pkg_work/wanted"; } \
    | awk '{ split($1, p, ":"); if (p[2] == "all") next
             if ($2 == "same") same[p[1]] = 1
             if (!seen[$1]++) count[p[1]]++ }
           END { for (n in same) if (count[n] > 1) print n }' | sort >"$pkg_work/pairs"
  if [ ! -s "$pkg_work/pairs" ]; then rm -rf "$pkg_work"; return 0; fi
  pkg_foreign=$(dpkg --print-foreign-architectures | head -n 1)
  # shellcheck disable=SC2046
  apt-cache policy $(sed "s/.*/&:$pkg_native &:$pkg_foreign/" "$pkg_work/pairs") >"$pkg_work/policy" 2>/dev/null
  awk -v native="$pkg_native" -v foreign="$pkg_foreign" -f "$pkg_here/multiarch-twins.awk" \
    "$pkg_work/policy" >"$pkg_work/decisions"
  if grep -q ' -$' "$pkg_work/decisions"; then
    pkg_log "no version that both architectures offer for: $(awk '$2 == "-" { printf "%s ", $1 }' "$pkg_work/decisions")"
    rm -rf "$pkg_work"
    return 1
  fi
  # Each pair at its version; each installed package of the same source package that was at the
  # same version as the pair's member goes along with it, on its own architecture.
  while read -r pkg_name pkg_version; do
    for pkg_arch in "$pkg_native" "$pkg_foreign"; do
      pkg_line=$(awk -v p="$pkg_name:$pkg_arch" '$1 == p' "$pkg_work/installed")
      if [ -z "$pkg_line" ]; then
        printf '%s:%s=%s\n' "$pkg_name" "$pkg_arch" "$pkg_version"
        continue
      fi
      # shellcheck disable=SC2086
      set -- $pkg_line
      [ "$2" = "$pkg_version" ] && { printf '%s=%s\n' "$1" "$pkg_version"; continue; }
      awk -v v="$2" -v s="$3" '$2 == v && $3 == s { print $1 }' "$pkg_work/installed" \
        | sed "s/\$/=$pkg_version/"
    done
  done <"$pkg_work/decisions"
  rm -rf "$pkg_work"
}

# pkg_install_with_twins NAME...: the plain install failed; match the multi-arch twins, then
# install again without letting apt remove anything. The versions are pinned (priority 1001,
# which lets apt go down a version) for this one command only, so a member of a pair that the
# packages do not need is not installed for the pin's sake.
pkg_install_with_twins() {
  [ -n "$(dpkg --print-foreign-architectures)" ] || return 1
  pkg_pins=$(pkg_twin_pins "$@" | sort -u) || return 1
  [ -n "$pkg_pins" ] || return 1
  pkg_prefs=$(mktemp -d)
  for pkg_pin in $pkg_pins; do
    printf 'Package: %s\nPin: version %s\nPin-Priority: 1001\n\n' "${pkg_pin%%=*}" "${pkg_pin#*=}"
  done >"$pkg_prefs/preferences"
  set -- -y -q --no-install-recommends --no-remove --allow-downgrades \
    -o Dir::Etc::Preferences="$pkg_prefs/preferences" "$@"
  if ! apt-get install -s "$@" >"$pkg_prefs/plan" 2>&1; then rm -rf "$pkg_prefs"; return 1; fi
  # "Inst NAME [OLD] (NEW ...)": the installed packages the plan moves; those it takes down a
  # version are named, the others (moved up to their twins' version) counted.
  awk '$1 == "Inst" && $3 ~ /^\[/ { o = $3; n = $4; gsub(/[][]/, "", o); sub(/^\(/, "", n); print $2, o, n }' \
    "$pkg_prefs/plan" >"$pkg_prefs/moves"
  pkg_down=$(while read -r pkg_name pkg_from pkg_to; do
      dpkg --compare-versions "$pkg_from" gt "$pkg_to" && printf ' %s %s -> %s;' "$pkg_name" "$pkg_from" "$pkg_to"
    done <"$pkg_prefs/moves")
  pkg_up=$(($(wc -l <"$pkg_prefs/moves") - $(printf '%s' "$pkg_down" | tr -cd ';' | wc -c)))
  pkg_log "installed 64-bit libraries and the 32-bit twins on offer differ in version (a package index is missing); installing each pair at the newest version both architectures offer"
  if [ -n "$pkg_down" ]; then
    pkg_log "going down a version:$pkg_down this can take a security update back out; once the package indexes are whole again, 'apt-get upgrade' restores them"
  fi
  pkg_log "$pkg_up other installed packages move up to their twins' version"
  dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture}\n' | awk '$1 ~ /^ii/ { print $2 }' \
    | sort >"$pkg_prefs/before"
  if ! pkg_as_root apt-get install "$@" >"$pkg_prefs/log" 2>&1; then
    tail -n 5 "$pkg_prefs/log" >&2
    rm -rf "$pkg_prefs"
    return 1
  fi
  pkg_gone=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture}\n' \
    | awk '$1 ~ /^ii/ { print $2 }' | sort | comm -23 "$pkg_prefs/before" - | tr '\n' ' ')
  rm -rf "$pkg_prefs"
  [ -z "$pkg_gone" ] || pkg_die "matching the twins removed packages that were installed: $pkg_gone"
}

# pkg_add_architectures NAME[:ARCH]...: adds to dpkg the foreign architectures the names ask for.
pkg_add_architectures() {
  pkg_native=$(pkg_native_arch)
  for pkg_arch in $(printf '%s\n' "$@" | sed -n 's/^[^:]*:\([a-z0-9]*\)$/\1/p' | sort -u); do
    [ "$pkg_arch" != "$pkg_native" ] || continue
    dpkg --print-foreign-architectures | grep -qx "$pkg_arch" && continue
    pkg_log "adding the $pkg_arch architecture"
    pkg_as_root dpkg --add-architecture "$pkg_arch"
    pkg_updated=0
  done
}

pkg_install() {
  pkg_wanted=$(pkg_missing "$@" | tr '\n' ' ')
  [ -n "$pkg_wanted" ] || return 0
  pkg_log "installing $pkg_wanted"
  # shellcheck disable=SC2086
  pkg_add_architectures $pkg_wanted
  pkg_update
  pkg_install_log=$(mktemp)
  # shellcheck disable=SC2086
  if pkg_apt_install $pkg_wanted >"$pkg_install_log" 2>&1; then rm -f "$pkg_install_log"; return 0; fi
  # shellcheck disable=SC2086
  if pkg_install_with_twins $pkg_wanted; then rm -f "$pkg_install_log"; return 0; fi
  # shellcheck disable=SC2086
  pkg_why=$(pkg_explain $pkg_wanted)
  [ -n "$pkg_why" ] || pkg_why="  apt resolved them but the install failed (a download or a package script; apt's last words):
$(tail -n 5 "$pkg_install_log")"
  rm -f "$pkg_install_log"
  pkg_die "cannot install these packages:
$pkg_why"
}
