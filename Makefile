# The two commands of the README, plus a few for maintainers.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
TIDY_BUILD ?= build-tidy
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=

.PHONY: all deps build run test test-asan bench fuzz format clean package package-check tidy

all: build

deps:
	@bash scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

run: build
	@bash scripts/run-calendar $(BUILD)/bin/quillory

test: build
	cd $(BUILD) && ctest --output-on-failure -j2 --no-tests=error

# Line tables are enough for the sanitizers' stack traces; full debug
# information is much of this build's time.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
		-DQUILLORY_SANITIZE=ON -DQUILLORY_BENCH=OFF \
		$(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j2 --no-tests=error

bench: build
	@bash scripts/run-bench $(BUILD)

# A Debian package, quillory_<version>_amd64.deb, of a release build for /usr.
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DQUILLORY_TESTS=OFF -DQUILLORY_BENCH=OFF -DQUILLORY_SOURCE_FALLBACKS=OFF $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_BUILD)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	cp $(PACKAGE_BUILD)/quillory_*_*.deb .

# The package as Debian's own checks see it (lintian is not in install-deps).
package-check: package
	lintian --fail-on error quillory_*_*.deb
	appstreamcli validate --no-net $(PACKAGE_BUILD)/generated/org.quillory.Quillory.metainfo.xml

# libFuzzer harnesses of fuzz/, each run FUZZ_SECONDS; see docs/RELIABILITY.md.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DQUILLORY_FUZZ=ON -DQUILLORY_TESTS=OFF -DQUILLORY_BENCH=OFF
	cmake --build $(FUZZ_BUILD) --target fuzz_ini fuzz_datascan fuzz_character
	@bash scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# clang-tidy over the program's own sources (.clang-tidy; clang-tidy is not in
# install-deps). A build folder of its own, without precompiled headers, so
# each file is read with the includes it names itself. TIDY_ONLY=manager/
# narrows it to the paths matching that expression.
tidy: deps
	cmake -S . -B $(TIDY_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLORY_PCH=OFF \
		-DQUILLORY_TESTS=OFF -DQUILLORY_BENCH=OFF $(CMAKE_FLAGS)
	@bash scripts/run-tidy $(TIDY_BUILD) '$(TIDY_ONLY)'

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
