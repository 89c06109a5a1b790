# Decides the versions of multi-arch twins from "apt-cache policy NAME:NATIVE NAME:FOREIGN ..."
#
#   awk -v native=amd64 -v foreign=i386 -f scripts/multiarch-twins.awk POLICY
#
# For each library whose two architectures' candidates differ (apt would want one version on
# one architecture and another on the other, which a Multi-Arch: same pair cannot be), prints
#   NAME VERSION   the newest version both architectures offer, or
#   NAME -         when they offer none in common.
# Pairs whose candidates agree print nothing: apt installs them as it is. A version counts as
# offered on an architecture when its table lists it there, from an index or as the installed
# one (which can stay). apt lists a version table newest first, so the first version of the
# native table that the foreign table also has is the newest common one.

# "NAME:" heads the native architecture's block, "NAME:FOREIGN:" the other one's.
/^[^ ]/ {
  head = $1
  sub(/:$/, "", head)
  if (head ~ ":" foreign "$") {
    name = substr(head, 1, length(head) - length(foreign) - 1)
    arch = foreign
  } else {
    name = head
    sub(":" native "$", "", name)
    arch = native
  }
  if (!(name in known)) { known[name] = 1; order[++names] = name }
  next
}
/^  Candidate:/ { candidate[name, arch] = $2; next }
# Where a version comes from (an index, or /var/lib/dpkg/status): nothing to record.
/^        [0-9-]+ / { next }
/^ \*\*\* / { offer(name, arch, $2); next }
/^     [^ ]/ { offer(name, arch, $1); next }

function offer(n, a, v) {
  offered[n, a, v] = 1
  if (a == native) natives[n, ++count[n]] = v
}

END {
  for (i = 1; i <= names; i++) {
    n = order[i]
    c1 = candidate[n, native]; c2 = candidate[n, foreign]
    if (c1 == "" || c2 == "" || c1 == "(none)" || c2 == "(none)" || c1 == c2) continue
    pick = "-"
    for (j = 1; j <= count[n]; j++) {
      if (offered[n, foreign, natives[n, j]]) { pick = natives[n, j]; break }
    }
    print n, pick
  }
}
