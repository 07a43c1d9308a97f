# The two commands of the README, `make test` and `make run`, and `make package`.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build test run package bench format clean

all: build

deps:
	@bash tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 600

# Only what the demo starts; the tests and benchmarks wait for `make test`.
run: configure
	@cmake --build $(BUILD) --target demo
	@bash tools/run-demo.sh $(BUILD)

# $(BUILD)/tavomi_<version>_<arch>.deb, from the installed programs alone.
package: configure
	@cmake --build $(BUILD) --target programs
	@cd $(BUILD) && cpack -G DEB

bench: build
	@bash tools/run-benchmarks.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
