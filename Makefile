# Quick start: `make demo` and `make test`.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo gui bench clean package install-test

all: build

deps:
	@sh tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The demo builds only what it runs; both start the module simulator.
demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target Quillrun ModSim KORDm KORCmd Tarnlink ZkInstallTree QuillrunDemoHex
	@sh install/demo/demo.sh $(BUILD)

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
