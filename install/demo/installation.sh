# Sourced by demo.sh and gui.sh: BIN, the installation directory they run,
# from their argument: a build directory (its bin/) or an installation
# directory; without one, the installation the script lies in, else build/.
_dir=${1:-}
if [ -z "$_dir" ]; then
  if [ -x "$(dirname "$0")/../Quillrun" ]; then _dir=$(dirname "$0")/..; else _dir=build; fi
fi
[ -d "$_dir/bin/demo" ] && _dir=$_dir/bin
BIN=$(cd "$_dir" && pwd)
