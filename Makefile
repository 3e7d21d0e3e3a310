# The two commands of the README.
NATIVE := build/native
WIN := build/win
JOBS ?= $(shell nproc)

.PHONY: test run native win setup clean

test: setup native win

setup:
	@scripts/setup-debian

native:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(NATIVE) -j $(JOBS)
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

win:
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
	cmake --build $(WIN) -j $(JOBS)
	@if [ -f $(WIN)/trovanix.exe ]; then echo "trovanix.exe: $$(stat -c %s $(WIN)/trovanix.exe) bytes"; fi

run: setup
	@scripts/run

clean:
	rm -rf build
