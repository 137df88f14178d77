"""The package's costs from Python, against the same calls in C++:

- a property read (`s.cost`, a number, and `s.Service`, a text) from Python;
- clsPORService's ReadIt loop on SQLite (key assigned, ReadIt called, cost
  read, by member name) from Python, against the same loop late-bound in C++
  (BM_ReadIt_LateBound of the benchmark program, on a database of the same
  rows), the two sides alternating round by round; CPU time per loop.

    python3 bench.py BENCH_PROGRAM [--rounds N] [--check]

with the built package on PYTHONPATH; BENCH_PROGRAM is build/bench/tarnlow_bench.
--check exits with status 1 when a property read takes 300 ns or more, or the
Python ReadIt loop more than 1.15 times the C++ one.
"""
import json
import statistics
import subprocess
import sys
import tempfile
import time
import timeit

import tarnlow

ITEMS = 1000


def python_read_loop(folder):
    connection = tarnlow.connect(f"sqlite:{folder}/bench.db")
    tarnlow.create_missing_tables(connection)
    table = connection.TableCatalogue.ServiceTable
    connection.Execute("begin")
    for i in range(ITEMS):
        connection.Execute(f"insert into {table} (service, unit_code, cost) values ('SRV{i}', 'HOUR', {i}.5)")
    connection.Execute("commit")
    service = tarnlow.clsPORService()
    service.SageConnection = connection
    codes = [f"SRV{i * 37 % ITEMS}" for i in range(16)]

    def per_loop(seconds):
        n, spent = 0, 0.0
        began = time.process_time()
        while spent < seconds:
            for i in range(1000):
                service.Service = codes[i & 15]
                service.ReadIt()
                service.cost  # noqa: B018 - the read is what is measured
            n += 1000
            spent = time.process_time() - began
        return spent / n * 1e9

    return per_loop


def cpp_read_loop(program):
    run = subprocess.run([program, "--benchmark_filter=^BM_ReadIt_LateBound$", "--benchmark_min_time=0.3",
                          "--benchmark_format=json"], capture_output=True, text=True, check=True)
    result = json.loads(run.stdout)["benchmarks"][0]
    assert result["time_unit"] == "ns"
    return result["cpu_time"]


def property_read_ns(expression):
    service = tarnlow.clsPORService()
    service.Service = "SRV1"
    timer = timeit.Timer(expression, globals={"s": service})
    return min(timer.repeat(5, 200_000)) / 200_000 * 1e9


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    program, rounds, check = argv[1], 5, "--check" in argv
    if "--rounds" in argv:
        rounds = int(argv[argv.index("--rounds") + 1])
    number, text = property_read_ns("s.cost"), property_read_ns("s.Service")
    print(f"property read from Python: number {number:.0f} ns, text {text:.0f} ns")
    with tempfile.TemporaryDirectory() as folder:
        python_loop = python_read_loop(folder)
        python_side, cpp_side = [], []
        for r in range(rounds):
            # Alternate which side goes first, so neither always follows the other.
            if r % 2 == 0:
                python_side.append(python_loop(0.3))
                cpp_side.append(cpp_read_loop(program))
            else:
                cpp_side.append(cpp_read_loop(program))
                python_side.append(python_loop(0.3))
    ratios = sorted(p / c for p, c in zip(python_side, cpp_side))
    ratio = statistics.median(ratios)
    print(f"ReadIt loop on SQLite: Python {statistics.median(python_side):.0f} ns, C++ late-bound "
          f"{statistics.median(cpp_side):.0f} ns, ratio {ratio:.3f} (rounds {ratios[0]:.3f}..{ratios[-1]:.3f})")
    if check and (number >= 300 or text >= 300 or ratio > 1.15):
        print("over the limits: a property read under 300 ns, ReadIt within 1.15x of C++")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
