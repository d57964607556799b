#!/usr/bin/env bash
# Runs one end-to-end scenario on one platform: run.sh linux|windows SCENARIO.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/$1/adapter.sh"
source "$here/scenarios.sh"
source "$here/$1/scenarios.sh"
declare -F "scenario_$2" >/dev/null || { echo "no scenario $2 on $1" >&2; exit 2; }
"scenario_$2"
