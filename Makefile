# The two commands of the README, `make test` and `make run`, and `make package`.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build test run package bench format clean display

all: build

# Each target asks for the packages of its own task (tools/install-deps.sh).
deps:
	@bash tools/install-deps.sh test

configure:
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: deps configure
	@cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 600

# Only what the demo starts; the tests and benchmarks wait for `make test`. Without a
# display it says so before it builds anything.
run: display
	@bash tools/install-deps.sh demo
	@$(MAKE) --no-print-directory configure
	@cmake --build $(BUILD) --target demo
	@bash tools/run-demo.sh $(BUILD)

display:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "make run: no display (DISPLAY and WAYLAND_DISPLAY are not set); to run it on a virtual display: xvfb-run -a make run" >&2; \
	  exit 1; \
	fi

# $(BUILD)/tavomi_<version>_<arch>.deb, from the installed programs alone: no test tools.
package:
	@bash tools/install-deps.sh build
	@$(MAKE) --no-print-directory configure
	@cmake --build $(BUILD) --target programs
	@cd $(BUILD) && cpack -G DEB
	@# tavomi.deb is always the package just made: an older one beside it is never picked up.
	@cd $(BUILD) && ln -sf "$$(ls -t tavomi_*.deb | head -n 1)" tavomi.deb && echo "package: $(BUILD)/tavomi.deb -> $$(readlink tavomi.deb)"

bench: build
	@bash tools/run-benchmarks.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
