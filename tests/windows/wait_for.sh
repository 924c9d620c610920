# Sourced by the Windows scenarios, after they define fail:
# wait_for DESCRIPTION SECONDS COMMAND...: until the command succeeds, or fail.
wait_for() {
  local what=$1 limit=$2
  shift 2
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || fail "no $what within $limit s"
    sleep 0.2
  done
}
