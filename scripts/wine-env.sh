# Sourced by the project's scripts (bash): how they all talk to Wine.
#   wine_env PREFIX   exports WINEPREFIX (the folder's absolute path) and the
#                     quiet Wine settings every script runs with: no debug
#                     channels and no Mono or Gecko installer on a first start
#                     (a caller's own WINEDEBUG or WINEDLLOVERRIDES is kept);
#                     for a prefix of the project's, which are all 64-bit,
#                     WINEARCH=win64 whatever the caller's
#   windows_path PATH a Unix path as Wine names it on its Z: drive, which
#                     stands for the Unix root
#   z_drive_ok        whether WINEPREFIX has that Z: drive (sandboxing tools
#                     remove it, and Wine then cannot name Unix paths)
#   project_prefix DIR  whether DIR is a prefix this project made: it carries
#                     .osprel-made (.osprel-ready from older versions)
#   server_running DIR  whether a Wine server runs for the prefix DIR (a
#                     symbolic link to a prefix is the same prefix)

wine_env() {
  WINEPREFIX=$(realpath -m "$1")
  WINEDEBUG=${WINEDEBUG:--all}
  WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
  if project_prefix "$WINEPREFIX"; then export WINEARCH=win64; fi
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

z_drive_ok() { [ "$(realpath -e "$WINEPREFIX/dosdevices/z:" 2>/dev/null)" = / ]; }

project_prefix() { [ -e "$1/.osprel-made" ] || [ -e "$1/.osprel-ready" ]; }

# A Wine server works in a folder named after its prefix's device and inode,
# those of the folder itself.
server_running() {
  local id pid
  id=$(stat -L -c '%d %i' "$1" 2>/dev/null) || return 1
  id=$(printf 'server-%x-%x' $id)
  for pid in $(pgrep -u "$(id -u)" wineserver); do
    [ "$(basename "$(readlink "/proc/$pid/cwd")")" = "$id" ] && return 0
  done
  return 1
}
