# Sourced by the cli benchmarks. start_bench_sim: starts the benchmark
# simulator of $build with its output in $work/sim_out, running until fd 3
# closes (the caller's EXIT trap closes it), waits for its whole output and
# sets $mobile.
start_bench_sim() {
  mkfifo "$work/sim_in"
  "$build/bench/cli/lumorafm-cli-bench-sim" <"$work/sim_in" >"$work/sim_out" &
  exec 3>"$work/sim_in"
  while [ "$(grep -c '^large ' "$work/sim_out" 2>/dev/null)" -lt 2 ]; do sleep 0.1; done
  mobile=$(awk '$1 == "mobile" {print $2}' "$work/sim_out")
}
