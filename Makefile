# Osprel's front door. Every target installs what is missing first.
#   make          build the Windows program and its tests (build/win64)
#   make test     build both sides and run every test (Wine under a virtual display)
#   make clean    remove build/
# Under the hood: CMake presets (CMakePresets.json) and ctest.

WIN := build/win64
HOST := build/host
ASAN := build/host-asan
TEST_PREFIX := build/wineprefix-tests
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

.PHONY: all deps build host asan test test-host test-win clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset win64 >/dev/null
	@cmake --build $(WIN) -j $(JOBS)

host: deps
	@cmake --preset host >/dev/null
	@cmake --build $(HOST) -j $(JOBS)

asan: deps
	@cmake --preset host-asan >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)

test: test-host test-win

test-host: host asan
	ctest --test-dir $(HOST) --output-on-failure -j $(JOBS)
	ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

# One test executable at a time: they share the prefix's registry and display.
test-win: build
	scripts/with-display.sh --prefix $(TEST_PREFIX) ctest --test-dir $(WIN) --output-on-failure

clean:
	rm -rf build
