# Osprel's front door. Every target installs what is missing first.
#   make          build both programs: build/win64/Osprel.exe (64-bit) and
#                 build/win32/Osprel.exe (32-bit)
#   make run      build the 64-bit Osprel (and tools/show_rows.exe beside it)
#                 and start it under Wine (on a virtual display when there is
#                 none: show_rows prints the rows, then build/osprel.png is
#                 saved and the window closed); ARCH=win32 runs the 32-bit one
#   make screenshot  the picture README shows, docs/osprel.png; with DPI=144
#                 (96, 120, 192) at that display scale, docs/osprel-144.png, and
#                 with LONG=1 also with values too long for their lines,
#                 docs/osprel-144-long.png; with NAMES=1 with an owner in
#                 Chinese and an organisation in Greek, docs/osprel-names.png
#   make test     build everything and run every test: natively, then each
#                 program's Windows tests under Wine (on a virtual display)
#   make dist     the release: build/dist/Osprel-1.5.zip with both programs,
#                 stripped, README.txt and LICENSE; build/dist/SHA256SUMS.
#                 SIGN_PKCS12=FILE SIGN_PASSWORD_FILE=FILE: both programs
#                 signed first (Authenticode, SHA-256), with a time stamp
#                 from SIGN_TIMESTAMP_URL=URL when given, waited for up to
#                 SIGN_TIMEOUT=SECONDS (60); RELEASE_URL=URL (the folder the
#                 archive will be published in): also the winget manifest,
#                 build/dist/winget/
#   make clean    remove build/
# Under the hood: CMake presets (CMakePresets.json) and ctest. Each program
# has a tree of its own (build/win64, build/win32), built with the compilers
# users' programs need, and a tree of tests (build/win64-tests,
# build/win32-tests) that runs that very program.

ARCHES := win64 win32
ARCH ?= win64
HOST := build/host
ASAN := build/host-asan
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

# ---- The values a user passes, checked before anything is done -------------
# Each setting's values are listed here once. A goal that reads a setting
# stops at once, before any package, build or prefix, when it is set to
# anything else (make's status 2), naming what it takes. A value is read as
# written ($(value)): make expands nothing of a refused one. Checked per goal:
# ARCH is a common name in users' environments, and only make run reads it.
DPIS := 96 120 144 192
BENCH_RUNS_MAX := 1000
# The CPUs make may run on (taskset takes no other), from their list's ranges.
ALLOWED_CPUS = $(shell sed -n 's/^Cpus_allowed_list:[[:space:]]*//p' /proc/self/status | tr , '\n' | \
  while IFS=- read -r first last; do seq "$$first" "$${last:-$$first}"; done)
same = $(and $(findstring $(1),$(2)),$(findstring $(2),$(1)))
from_environment = $(if $(filter environment%,$(origin $(1))), (set in the environment))
# $(call check_value,NAME,VALUES,WHAT NAME TAKES): nothing when NAME's value is
# exactly one of VALUES (a % in it is no pattern), and otherwise make stops.
check_value = $(if $(call same,$(value $(1)),$(firstword $(filter $(value $(1)),$(2)))),,$(error \
  $(1)=$(value $(1))$(call from_environment,$(1)) cannot be used: $(1) takes $(3)))
goal = $(filter $(1),$(MAKECMDGOALS))
$(if $(call goal,run),$(call check_value,ARCH,$(ARCHES),$(firstword $(ARCHES)) (the 64-bit program) or \
  $(lastword $(ARCHES)) (the 32-bit one)))
$(if $(and $(call goal,screenshot),$(value DPI)),$(call check_value,DPI,$(DPIS),one of $(DPIS) \
  (pixels per inch: 100 to 200 %)))
$(if $(and $(call goal,bench),$(value BENCH_RUNS)),$(call check_value,BENCH_RUNS,$(shell seq $(BENCH_RUNS_MAX)),a \
  whole number of starts from 1 to $(BENCH_RUNS_MAX)))
$(if $(and $(call goal,bench),$(value BENCH_CPU)),$(call check_value,BENCH_CPU,$(ALLOWED_CPUS),one of the \
  CPUs this machine runs it on: $(ALLOWED_CPUS)))

# How Wine's 32-bit loader runs, which scripts/wine-env.sh finds once and hands
# down: found anew by each recipe, since the install step may change it.
unexport OSPREL_WINE32

.PHONY: all deps deps-program deps-wine32 build run screenshot dist host asan test test-host test-win clean $(ARCHES) $(ARCHES:%=%-tests)

all: build

# The programs, their tests and checks: 64-bit packages only.
deps:
	@scripts/install-deps.sh

# Building and running the programs needs less than their tests, and the
# 64-bit program nothing of i386.
deps-program:
	@scripts/install-deps.sh program

# Running the 32-bit program under Wine, and only that: Wine's 32-bit half
# (the i386 architecture, wine32:i386) and, on a kernel that runs no 32-bit
# Linux programs, an emulator registered for them (install-deps.sh). First
# among a target's prerequisites, so that where it cannot be installed the
# target stops before building.
deps-wine32:
	@scripts/install-deps.sh wine32

build: $(ARCHES)

# One program, or the tests of one, which run that program's own tree's
# Osprel.exe: the tree is configured and built first.
$(ARCHES): deps-program
$(ARCHES:%=%-tests): deps
$(ARCHES) $(ARCHES:%=%-tests):
	@cmake --preset $@ >/dev/null
	@cmake --build build/$@ -j $(JOBS)
$(foreach a,$(ARCHES),$(eval $(a)-tests: $(a)))

run: $(if $(filter win32,$(ARCH)),deps-wine32) $(ARCH)
	scripts/run.sh build/$(ARCH)/Osprel.exe

SHOT := docs/osprel$(if $(DPI),-$(DPI))$(if $(LONG),-long)$(if $(NAMES),-names).png
# The pictures show a fresh prefix of the project's own, never the user's.
screenshot: win64
	env -u WINEPREFIX scripts/run.sh build/win64/Osprel.exe --screenshot $(CURDIR)/$(SHOT) $(if $(DPI),--dpi $(DPI)) \
	  $(if $(LONG),--long-values) $(if $(NAMES),--names)

# Signing and the winget manifest only when asked for (see the header). The
# values reach make_dist.py byte for byte: make expands no $ in them
# ($(value)), and they travel in the environment as DIST_NAME, where the
# shell parses nothing of them; a value that is set becomes NAME's option
# (--sign-pkcs12=...), and make_dist.py refuses what it cannot use. Exported
# as they are named, make would expand them (a $(shell ...) in one would run).
DIST_VARIABLES := SIGN_PKCS12 SIGN_PASSWORD_FILE SIGN_TIMESTAMP_URL SIGN_TIMEOUT RELEASE_URL
unexport $(DIST_VARIABLES)
$(foreach v,$(DIST_VARIABLES),$(eval dist: export DIST_$(v) := $$(value $(v))))
dist: build
	@set -- build/dist build/win64/Osprel.exe build/win32/Osprel.exe; for v in $(DIST_VARIABLES); do \
	  eval "value=\$$DIST_$$v"; [ -z "$$value" ] || set -- "$$@" "--$$(echo $$v | tr 'A-Z_' 'a-z-')=$$value"; \
	done; dist/make_dist.py "$$@"

host: deps
	@cmake --preset host >/dev/null
	@cmake --build $(HOST) -j $(JOBS)

asan: deps
	@cmake --preset host-asan >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)

# Every group of tests runs, and make test fails after them if any failed:
# a failure in one tree hides none in another. Wine's 32-bit half first:
# where it cannot be installed, make test stops with the reasons before
# building.
test: deps-wine32
	@$(MAKE) -k test-host test-win

test-host: host asan
	@ctest --test-dir $(HOST) --output-on-failure -j $(JOBS); host=$$?; \
	ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS) && exit $$host

# One test executable at a time: they share the prefix's registry and display.
# Where Wine's 32-bit loader cannot run, the 32-bit program's tests fail with
# the reason before any of them starts. The prefix cmake/wine-run.sh runs the
# tests in is the one with-display.sh locks and stops the server of.
WINE32_READY := bash -c ". scripts/wine-env.sh && wine32_ready"
test-win: deps-wine32 $(ARCHES:%=%-tests)
	@export OSPREL_TEST_WINEPREFIX="$$(cmake/wine-run.sh --prefix)"; \
	scripts/with-display.sh --prefix "$$OSPREL_TEST_WINEPREFIX" sh -c 'failed=""; \
	  for a in $(ARCHES); do echo "== Osprel $$a"; \
	    { [ $$a != win32 ] || $(WINE32_READY); } && ctest --test-dir build/$$a-tests --output-on-failure || \
	      failed="$$failed $$a"; \
	  done; \
	  [ -z "$$failed" ] || { echo "The tests of Osprel$$failed failed (above)." >&2; exit 1; }'

# The folders Wine's servers kept in TMPDIR for the project's prefixes go too.
clean:
	@for p in build/wineprefix-*/; do [ ! -d "$$p" ] || \
	  bash -c '. scripts/wine-env.sh && forget_server "$$1"' clean "$$p"; done
	rm -rf build

# ---- Checks beyond the tests ------------------------------------------------
#   make check    shellcheck over every shell script, clang-tidy and cppcheck
#                 over our own sources (the compile commands of both builds),
#                 a bounded fuzz run, then make reproducible
#   make reproducible  builds the release twice, in two copies of the
#                 source at different paths, and fails unless every byte agrees
#   make fuzz     the fuzz run alone: FUZZ_SECONDS of libFuzzer on the readers,
#                 from the seeds in fuzz/corpus, with a dictionary of the value
#                 names (fuzz/make_seeds.py); a failing input is kept in
#                 build/fuzz/ (copy it into fuzz/corpus: every test build
#                 replays that directory)
FUZZ := build/fuzz
CHECK_WIN := build/win64-tests-check
FUZZ_SECONDS ?= 60
OWN_SOURCES := ^$(CURDIR)/(?!build/)
# clang-tidy reads the Windows sources as the cross compiler does: for its
# target, with the C++ headers of the g++ that builds them.
MINGW_TIDY_ARGS = -extra-arg=--target=x86_64-w64-mingw32 $(patsubst %,-extra-arg=-isystem%,$(shell \
  x86_64-w64-mingw32-g++-posix -xc++ -E -v /dev/null 2>&1 | sed -n '/search starts here/,/End of search/p' | grep '^ /.*c++'))
CPPCHECK := cppcheck --enable=warning,performance,portability,style --std=c++17 --inline-suppr --quiet \
  --suppressions-list=cppcheck-suppressions.txt --library=googletest --library=cppcheck-afx.cfg --error-exitcode=1

.PHONY: check check-configure shellcheck tidy cppcheck fuzz reproducible

check: shellcheck tidy cppcheck fuzz reproducible

# -x: each script is read with wine-env.sh, which it sources (.shellcheckrc).
SHELL_SCRIPTS := $(wildcard scripts/*.sh scripts/wine64/* tests/scripts/*.sh) cmake/wine-run.sh bench/run.sh .ci/run
shellcheck: deps
	shellcheck -x $(SHELL_SCRIPTS)

reproducible: deps
	@scripts/check-reproducible.sh

check-configure: deps
	@cmake --preset fuzz >/dev/null
	@cmake --preset win64-tests -B $(CHECK_WIN) -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null

# Both builds are checked before either fails, so one run shows every finding.
tidy: check-configure
	run-clang-tidy -quiet -j $(JOBS) -p $(FUZZ) '$(OWN_SOURCES)'; host=$$?; \
	run-clang-tidy -quiet -j $(JOBS) -p $(CHECK_WIN) $(MINGW_TIDY_ARGS) '$(OWN_SOURCES)' && exit $$host

cppcheck: check-configure
	$(CPPCHECK) --project=$(FUZZ)/compile_commands.json; host=$$?; \
	$(CPPCHECK) --project=$(CHECK_WIN)/compile_commands.json -i/usr/src/googletest --library=windows \
	  --platform=win64 && exit $$host

fuzz: check-configure
	@cmake --build $(FUZZ) -j $(JOBS) --target readers_fuzzer
	@mkdir -p $(FUZZ)/corpus
	@python3 fuzz/make_seeds.py --dict $(FUZZ)/readers.dict
	@echo "Fuzzing the readers for $(FUZZ_SECONDS) s (log: $(FUZZ)/fuzz.log)"
	@TZ=UTC $(FUZZ)/fuzz/readers_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -dict=$(FUZZ)/readers.dict -artifact_prefix=$(FUZZ)/ $(FUZZ)/corpus fuzz/corpus >$(FUZZ)/fuzz.log 2>&1 \
	  || { tail -40 $(FUZZ)/fuzz.log; echo "The failing input is in $(FUZZ)/ (crash-*, leak-*, timeout-*)"; exit 1; }
	@grep -E '^(Done|stat::(number_of_executed_units|new_units_added))' $(FUZZ)/fuzz.log

# ---- Bench (never part of `make test`) -------------------------------------
#   make bench    the 64-bit and the 32-bit Osprel beside Wine's own winver and
#                 a floor dialog program: time to visible, close to exit, peak
#                 working set (20 starts each, interleaved), the cost of one
#                 fill under Wine and natively, registry calls per fill,
#                 stripped size and imports of both programs.
#                 Writes build/bench/report.md and report.json, prints the report.
#                 Its own Wine prefix: build/wineprefix-bench. See bench/run.sh.
# `make` leaves the bench programs out; the 64-bit tree builds them here, and
# the 32-bit tree only its Osprel.
BENCH_WIN64 := Osprel osprel_floor osprel_wine_bench
.PHONY: bench

bench: deps-wine32 deps
	@cmake --preset win64 >/dev/null
	@cmake --build build/win64 -j $(JOBS) --target $(BENCH_WIN64)
	@cmake --preset win32 >/dev/null
	@cmake --build build/win32 -j $(JOBS) --target Osprel
	@cmake --preset host >/dev/null
	@cmake --build $(HOST) -j $(JOBS) --target osprel_fill_native
	@BENCH_WIN_DIR=build/win64 BENCH_WIN32_DIR=build/win32 BENCH_HOST_DIR=$(HOST) bench/run.sh
