# Sourced by the Wine test scripts: the failure count they end on, and a Unix
# path as Wine's Z: drive names it (for variables a Windows program reads).
failures=0
fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
windows_path()
{
    local path=${1//\//\\}
    echo "Z:$path"
}
