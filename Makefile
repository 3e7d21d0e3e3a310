# The two commands of the README.
NATIVE := build/native
WIN := build/win
WIN64 := build/win64
JOBS ?= $(shell nproc)

.PHONY: test run dist native win win64 setup clean

# The Windows builds come first: the native tree's end-to-end tests run their executables.
test: setup win win64 fuzz-short native

setup:
	@scripts/setup-debian

native:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug \
	  -DTROVANIX_WIN32_DIR=$(abspath $(WIN)) -DTROVANIX_WIN64_DIR=$(abspath $(WIN64))
	cmake --build $(NATIVE) -j $(JOBS)
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS) -LE e2e
	rm -rf $(NATIVE)/e2e32/fidelity $(NATIVE)/e2e64/fidelity
	cd $(NATIVE) && ctest --output-on-failure -L e2e
	@cat $(NATIVE)/e2e32/arch.txt $(NATIVE)/e2e64/arch.txt 2>/dev/null || true
	@for a in 32 64; do d=$(NATIVE)/e2e$$a/fidelity; [ -d $$d ] || continue; \
	  echo "fidelity$$a: $$(ls $$d | wc -l) probes, $$(cat $$d/* | awk '{n += $$1} END {print n}')" \
	    "transcript lines the same on winsim and Wine"; done

win:
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
	cmake --build $(WIN) -j $(JOBS)
	@echo "32-bit trovanix.exe: $$(stat -c %s $(WIN)/trovanix.exe) bytes"

win64:
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
	cmake --build $(WIN64) -j $(JOBS)
	@echo "64-bit trovanix.exe: $$(stat -c %s $(WIN64)/trovanix.exe) bytes"

# The reliability figures as one table: the native reliability tests (fault points, random
# sessions, handle counts) and the soak of both exes under Wine are run afresh; the fuzz
# executions and the mutation score are those of the last make fuzz(-short) and make mutants.
.PHONY: reliability soak
reliability: setup win win64
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug \
	  -DTROVANIX_WIN32_DIR=$(abspath $(WIN)) -DTROVANIX_WIN64_DIR=$(abspath $(WIN64))
	cmake --build $(NATIVE) -j $(JOBS) --target trovanix_tests
	@scripts/reliability --native $(NATIVE) --run --win32 $(WIN) --win64 $(WIN64)

# Only the soak: each real exe under Wine (the 32-bit one through qemu-i386 where the kernel runs
# no 32-bit processes) for five minutes of one-second tracks, menus and About boxes; its objects
# and memory at the end against the first minute's.
soak: setup win win64
	@tests/e2e/soak.py --win32 $(WIN) --win64 $(WIN64) --work build/soak \
	  --out build/soak/result.txt

# The fuzz targets (tests/fuzz, clang with libFuzzer) in build/fuzz: ten seconds each in make test,
# five minutes each here, the inputs found kept for the next run.
.PHONY: fuzz fuzz-short
fuzz-short: setup
	@scripts/fuzz --seconds 10

fuzz: setup
	@scripts/fuzz --seconds 300 --keep-corpus

# Mutation testing: one-line faults (tests/mutants/mutants.txt) applied one at a time to a copy
# of the committed sources in build/mutants; prints the score and keeps it in
# build/mutants/score.txt.
.PHONY: mutants mutants-all
mutants: setup
	@scripts/mutants

# Every mutant generated from the product sources, one per site and operator (scripts/mutants
# says which operators), in two shards side by side, each in a tree of its own; a stopped run
# goes on where it stopped. Then the Windows entry point's mutants, each in the 64-bit exe
# against the end-to-end cases; the listed equivalents compiled by both Windows builds (those
# with the original's object code are proven); and the summary over all.
mutants-all: setup win win64
	@scripts/mutants --generated --shard 0/2 --jobs 1 --work build/mutants/generated0 & \
	  scripts/mutants --generated --shard 1/2 --jobs 1 --work build/mutants/generated1; \
	  wait
	@scripts/mutants --generated --startup
	@scripts/mutants --generated --prove
	@scripts/mutants --generated --report build/mutants/generated0 build/mutants/generated1 \
	  | tee build/mutants/generated-result.txt

# With a display: the program in Wine's desktop there; without one: the picture tour on Xvfb.
run: setup win win64
	@scripts/run --win32 $(WIN) --win64 $(WIN64)

# The zip for Windows users; scripts/dist --check runs the end-to-end cases against its exe.
dist: setup win win64
	@scripts/dist --win32 $(WIN) --win64 $(WIN64)

# Size, start-up and idle cost against the floors of bench/, and the work of one poll tick, as
# one table (scripts/bench; --make-test also times make test).
.PHONY: bench
bench: setup win win64
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug \
	  -DTROVANIX_WIN32_DIR=$(abspath $(WIN)) -DTROVANIX_WIN64_DIR=$(abspath $(WIN64))
	cmake --build $(NATIVE) -j $(JOBS) --target trovanix_tests
	@scripts/bench --win32 $(WIN) --win64 $(WIN64) --native $(NATIVE) --work build/bench

clean:
	rm -rf build
