# Logwarden: thin wrapper around CMake (Ninja).
#   make run       install what is missing, build, start Logwarden
#   make test      build and run the test suite
#   make sanitize  core tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   make tsan      the core tests labelled "threads" under ThreadSanitizer
#   make bench     release build and benchmarks against their peers
#   make fuzz      libFuzzer targets (clang), short run each
#   make package   Debian package of the release build into dist/
#   make package-check  lintian, install, run from /usr/bin and remove the package

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
REL_BUILD  ?= build-release
FUZZ_BUILD ?= build-fuzz
PKG_BUILD  ?= build-package
JOBS       ?= $(shell nproc)
WERROR     ?= OFF
FUZZ_SECONDS ?= 30

CMAKE_COMMON = -G Ninja -DLOGWARDEN_WERROR=$(WERROR)

# Debian's compiler and linker flags (hardening), without debugging information: the package is stripped.
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
DEB_CFLAGS = $(filter-out -g,$(shell $(DEB_FLAGS) CFLAGS) $(shell $(DEB_FLAGS) CPPFLAGS))
DEB_CXXFLAGS = $(filter-out -g,$(shell $(DEB_FLAGS) CXXFLAGS) $(shell $(DEB_FLAGS) CPPFLAGS))
DEB_LDFLAGS = $(shell $(DEB_FLAGS) LDFLAGS)

.PHONY: all deps build run test sanitize tsan bench fuzz package package-check clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-gui.sh $(BUILD)/src/gui/logwarden $(ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 300

sanitize: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug \
	      -DLOGWARDEN_SANITIZE=address,undefined -DLOGWARDEN_GUI=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) -L core --output-on-failure -j $(JOBS) --timeout 600

tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug \
	      -DLOGWARDEN_SANITIZE=thread -DLOGWARDEN_GUI=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target threaded_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$(CURDIR)/tests/support/tsan.supp \
	  ctest --test-dir $(TSAN_BUILD) -L threads --output-on-failure -j $(JOBS) --timeout 600

bench: deps
	cmake -S . -B $(REL_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DLOGWARDEN_BENCH=ON
	cmake --build $(REL_BUILD) -j $(JOBS)
	bash bench/run.sh $(REL_BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug \
	      -DLOGWARDEN_FUZZ=ON -DLOGWARDEN_GUI=OFF -DLOGWARDEN_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

package: deps
	cmake -S . -B $(PKG_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DLOGWARDEN_TESTS=OFF \
	      -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_C_FLAGS="$(DEB_CFLAGS)" -DCMAKE_CXX_FLAGS="$(DEB_CXXFLAGS)" \
	      -DCMAKE_EXE_LINKER_FLAGS="$(DEB_LDFLAGS)"
	cmake --build $(PKG_BUILD) -j $(JOBS)
	rm -f dist/logwarden_*.deb
	cd $(PKG_BUILD) && cpack

package-check: package
	bash scripts/check-package.sh dist/logwarden_*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(REL_BUILD) $(FUZZ_BUILD) $(PKG_BUILD) dist
