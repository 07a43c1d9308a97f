# The two commands of the README, `make test` and `make run`, `make package`,
# `make screenshots` and `make share-lab`. Each installs only the Debian packages it needs
# (tools/install-deps.sh), then builds only what it runs.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

DEPS = bash tools/install-deps.sh
CONFIGURE = cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

.PHONY: all deps build test run package screenshots share-lab bench format clean

all: build

# Everything any target here needs.
deps:
	@$(DEPS) test

build: deps
	@$(CONFIGURE)
	@cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 600

# Only what the demo starts; the tests and benchmarks wait for `make test`. Without a
# display it says so before installing or building anything.
run:
	@bash tools/run-demo.sh --check-display
	@$(DEPS) demo
	@$(CONFIGURE)
	@cmake --build $(BUILD) --target demo
	@bash tools/run-demo.sh $(BUILD)

# $(BUILD)/tavomi_<version>_<arch>.deb, from the installed programs alone; an older
# version's package in $(BUILD) goes (packaging/CMakeLists.txt), so that
# `apt install ./build/tavomi_*.deb` names one package.
package:
	@$(DEPS) package
	@$(CONFIGURE)
	@cmake --build $(BUILD) --target programs
	@cd $(BUILD) && cpack -G DEB

# docs/screens/*.png, the README's pictures, drawn again from the real screens without a
# display; the same sources give the same files.
screenshots:
	@$(DEPS) screenshots
	@$(CONFIGURE)
	@cmake --build $(BUILD) --target tavomi-screenshots tavomi-report
	@bash tools/screenshots.sh $(BUILD)

# Real file shares on three virtual machines (tools/share-lab/run.sh): about 30 min, not
# part of `make test`. The image is made once into $(BUILD)/share-lab and kept; the table
# of the run goes to $(BUILD)/share-lab/results.md. SCENARIOS= picks some of them.
share-lab:
	@$(DEPS) share-lab
	@$(CONFIGURE)
	@cmake --build $(BUILD) --target tavomi-share-lab
	@bash tools/share-lab/run.sh $(BUILD) $(SCENARIOS)

bench: build
	@bash tools/run-benchmarks.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
