#!/usr/bin/env bash
# Builds the unsigned release twice, from two copies of the source tree at paths of
# different lengths and at different times, and fails unless both programs and
# the archive agree byte for byte. The copies hold the files git tracks, as
# they are in the working tree, so uncommitted changes are checked too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/reproducible
rm -rf "$work"
mkdir -p "$work"

copy_and_build() {
  local dir=$1
  mkdir -p "$dir"
  (cd "$root" && git ls-files -z | xargs -0 cp --parents -t "$dir")
  echo "Building the release in $dir"
  # The unsigned release, whatever the caller's make or environment names:
  # a signature is the maintainer's own, made at its own time.
  make -C "$dir" dist SIGN_PKCS12= SIGN_PASSWORD_FILE= SIGN_TIMESTAMP_URL= RELEASE_URL= >"$dir.log" 2>&1 ||
    { tail -20 "$dir.log"; exit 1; }
}

copy_and_build "$work/a"
sleep 2   # a later second: any time stamp taken from the clock would differ
copy_and_build "$work/second-copy-with-a-longer-path"

# Every file of the release, whichever make_dist.py writes.
first=$work/a/build/dist
second=$work/second-copy-with-a-longer-path/build/dist
status=0
diff -r "$first" "$second" >&2 || status=1
(cd "$first" && sha256sum -c --quiet SHA256SUMS) || status=1
[ $status = 0 ] && echo "The release is reproducible: $(cd "$first" && find . -type f | sort | paste -sd ' ')" &&
  rm -rf "$work"
exit $status
