# Quick start: `make demo` and `make test`.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo demo-remote demo-gang gui bench clean package install-test

all: build

deps:
	@sh tools/install-deps.sh

configure: deps
	@cmake --preset default -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The demo builds only what it runs; both start the module simulator.
demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target Quillrun ModSim KORDm KORCmd Tarnlink ZkInstallTree QuillrunDemoHex
	@sh install/demo/demo.sh $(BUILD)

# The demo through ser2net: the simulator's port served over RFC 2217 on
# 127.0.0.1.
demo-remote: configure
	@cmake --build $(BUILD) -j $(JOBS) --target Quillrun ModSim KORDm KORCmd Tarnlink ZkInstallTree QuillrunDemoHex
	@sh install/demo/remote.sh $(BUILD)

# Four simulated modules programmed at once by zelkor, one with a seeded
# fault; the table at the end shows which succeeded.
demo-gang: configure
	@cmake --build $(BUILD) -j $(JOBS) --target zelkor ModSim KORDm KORCmd Tarnlink ZkInstallTree QuillrunDemoHex
	@sh install/demo/gang.sh $(BUILD)

gui: build
	@sh install/demo/gui.sh $(BUILD)

# The Debian package $(BUILD)/zelkor_<version>_<arch>.deb.
package: configure
	@cmake --build $(BUILD) -j $(JOBS) --target package

# Root only (skipped otherwise): dpkg -i of that package on this machine,
# the installation checked and run, dpkg -r, nothing left behind.
install-test: package
	@sh tests/install/package-test.sh $(BUILD)

clean:
	rm -rf $(BUILD)

# The Windows build: cross-compiled with MinGW-w64 in its own build
# directory; <build-windows>/bin is the installation, zipped as
# <build-windows>/zelkor-windows.zip, and the installer
# <build-windows>/zelkor-<version>-setup.exe. Not part of test. Its test
# programs are built by windows-test only.
WINDOWS_BUILD ?= $(BUILD)-windows
WINDOWS_FLAGS ?=
.PHONY: windows windows-deps windows-configure

windows-deps:
	@sh tools/install-windows-deps.sh

windows-configure: windows-deps
	@cmake --preset default -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake -DZK_BUILD_TESTS=ON -DZK_BUILD_BENCH=OFF \
	  $(WINDOWS_FLAGS) >/dev/null

windows: windows-configure
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	@cmake --build $(WINDOWS_BUILD) --target ZkWindowsZip
	@cmake --build $(WINDOWS_BUILD) --target ZkWindowsInstaller

# Quillrun.exe and zelkor.exe under Wine against the simulator of the Linux
# build, each run checked against the simulator's flash.
.PHONY: windows-demo
windows-demo: windows configure
	@cmake --build $(BUILD) -j $(JOBS) --target ModSim
	@sh install/demo/windows.sh $(WINDOWS_BUILD)/bin $(BUILD)/bin

# The test programs of the Windows build, each under Wine in a fresh prefix
# and judged by its XML report, at most WINDOWS_TEST_SECONDS each; then the
# Windows demo and the installer's check.
WINDOWS_TEST_SECONDS ?= 600
.PHONY: windows-test
windows-test: windows configure
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target ZkWindowsTests
	@cmake --build $(BUILD) -j $(JOBS) --target ModSim
	@sh tools/windows-test.sh $(WINDOWS_BUILD) $(WINDOWS_TEST_SECONDS)
	@sh install/demo/windows.sh $(WINDOWS_BUILD)/bin $(BUILD)/bin
	@sh tests/install/windows-installer.sh $(WINDOWS_BUILD)/zelkor-*-setup.exe

# Sanitizers and fuzzing, each in a build directory of its own, without the
# benchmarks and building only the test programs they run.
ASAN_BUILD ?= $(BUILD)-asan
TSAN_BUILD ?= $(BUILD)-tsan
FUZZ_BUILD ?= $(BUILD)-fuzz
FUZZ_SECONDS ?= 30
SANITIZER_PACKAGES = clang libclang-rt-14-dev
ASAN_TEST_DIRS = platform common cmd link modsim dm e2e runner cli gui soak hardening
ASAN_TESTS = ZkPlatformTests ZkCommonTests KORCmdTests TarnlinkTests ModSimTests KORDmTests \
	ZkEndToEndTests QuillrunTests ZelkorCliTests ZelkorGuiTests ZkSoak ZkHardeningTests
# The tests with threads: thread registry and message queues, the waiting
# loops, the command layer's and the data manager's workers and stop
# requests, the link engine and transport, the runner, the workbench's wait
# loops and file watcher, end to end.
TSAN_TEST_DIRS = platform common cmd link dm e2e runner cli gui
TSAN_TESTS = ZkPlatformTests ZkCommonTests KORCmdTests TarnlinkTests KORDmTests ZkEndToEndTests QuillrunTests ZelkorCliTests \
	ZelkorGuiTests
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/qt-tsan.supp

# sanitizer_suite(<build dir>, <preset of CMakePresets.json>, <test programs>, <test dirs>)
define sanitizer_suite
	@cmake --preset $(2) -B $(1) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(1) -j $(JOBS) --target $(3)
	@failed=""; for d in $(4); do \
	  (cd $(1)/tests/$$d && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) --timeout 900) || failed="$$failed $$d"; \
	done; \
	if [ -n "$$failed" ]; then echo "$(2): failures in$$failed" >&2; exit 1; fi
endef

.PHONY: sanitize sanitize-address sanitize-thread fuzz-smoke sanitizer-deps

sanitizer-deps:
	@sh tools/install-deps.sh $(SANITIZER_PACKAGES)

sanitize: sanitize-address sanitize-thread fuzz-smoke

sanitize-address: deps
	$(call sanitizer_suite,$(ASAN_BUILD),asan,$(ASAN_TESTS),$(ASAN_TEST_DIRS))

sanitize-thread: deps
	$(call sanitizer_suite,$(TSAN_BUILD),tsan,$(TSAN_TESTS),$(TSAN_TEST_DIRS))

# Every fuzz target for FUZZ_SECONDS (30 s; longer runs: FUZZ_SECONDS=600).
fuzz-smoke: sanitizer-deps
	@cmake --preset fuzz -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target ZkFuzzTargets
	@sh fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Every benchmark of bench/ one after another (about a quarter of an hour;
# a quiet machine gives the true figures), then one table of their figures.
bench: build
	@$(BUILD)/bench/BenchSummary $(BUILD)/bench

# The long fault-injection soak: 100 downloads with seeded faults, then 100
# verified downloads and 50 uploads of each kind over a line that spoils
# 0.001 of the bytes, of which 0.9 must end with exit code 0, then as many
# over a line that spoils 0.0001, every one of which must.
SOAK_RUNS ?= 100
INTEGRITY_RUNS ?= 100
INTEGRITY_UPLOADS ?= 50
INTEGRITY_RATE ?= 0.001
INTEGRITY_SHARE ?= 0.9
CLEAN_RUNS ?= 100
CLEAN_UPLOADS ?= 50
CLEAN_RATE ?= 0.0001
.PHONY: soak
soak: build
	@$(BUILD)/tests/ZkSoak --runs $(SOAK_RUNS) --keep $(BUILD)/soak-failures
	@$(BUILD)/tests/ZkSoak --integrity $(INTEGRITY_RUNS) --uploads $(INTEGRITY_UPLOADS) \
		--line-rate $(INTEGRITY_RATE) --at-least $(INTEGRITY_SHARE) --keep $(BUILD)/soak-failures
	@$(BUILD)/tests/ZkSoak --integrity $(CLEAN_RUNS) --uploads $(CLEAN_UPLOADS) \
		--line-rate $(CLEAN_RATE) --at-least 1 --keep $(BUILD)/soak-failures

# The house style and the short list of checks, both gated in CI:
# format-check fails on any file clang-format would change, tidy runs
# clang-tidy (.clang-tidy) over every source of compile_commands.json except
# Qt's generated files (TIDY_FOLDERS: only the sources of these folders).
# `make format` applies the style.
TIDY_JOBS ?= $(JOBS)
TIDY_FOLDERS ?=
.PHONY: format format-check tidy style-deps
style-deps:
	@sh tools/install-deps.sh clang-format clang-tidy

format: style-deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: style-deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

tidy: style-deps configure
	@sh tools/tidy.sh $(BUILD) $(TIDY_JOBS) "$(TIDY_FOLDERS)"
