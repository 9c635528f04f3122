# make run / make test set everything up on a fresh Debian 12 machine.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= fuzz_picture fuzz_splittext fuzz_quality fuzz_page \
                fuzz_jpeg fuzz_gif fuzz_bmp fuzz_png fuzz_webp fuzz_heif fuzz_raw fuzz_tiff \
                fuzz_film

.PHONY: run test build compile setup setup-package setup-test setup-fuzz install uninstall package clean \
        test-sanitize fuzz

# What building needs; packaging adds dpkg-dev, the tests an X server, a
# browser and the validators.
setup:
	@scripts/setup.sh build
setup-package:
	@scripts/setup.sh package
setup-test:
	@scripts/setup.sh test
setup-fuzz:
	@scripts/setup.sh fuzz

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

# Builds with what is there; `build` sets up first.
compile: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

build: setup
	@$(MAKE) --no-print-directory compile

run: build
	$(BUILD)/tumbilder

test: setup-test
	@$(MAKE) --no-print-directory compile
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest -j $(JOBS) --output-on-failure --timeout 600

# Installing installs no build tools: it builds with what is there. What it
# puts down is remembered, so `make uninstall` can take it away again.
install: compile
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)
	{ cat $(BUILD)/install_manifest.txt; echo; } >> $(BUILD)/installed-files.txt

uninstall:
	cmake -DMANIFEST=$(BUILD)/installed-files.txt -P cmake/uninstall.cmake
	rm -f $(BUILD)/installed-files.txt

# The Debian package, $(BUILD)/tumbilder_<version>_<arch>.deb.
package: setup-package
	@$(MAKE) --no-print-directory compile
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: setup-test
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTUMBILDER_SANITIZE=ON
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest -j $(JOBS) --output-on-failure --timeout 900 -E 'smoke_xvfb|gallery_browser|package_check'

# Each fuzz target for FUZZ_SECONDS, with clang's libFuzzer.
fuzz: setup-fuzz
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTUMBILDER_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    build-fuzz/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -max_len=65536 \
	    -rss_limit_mb=4096 -timeout=20 -artifact_prefix=build-fuzz/ build-fuzz/corpus/$$t tests/fuzz/seeds > build-fuzz/$$t.log 2>&1; \
	  status=$$?; tail -n 1 build-fuzz/$$t.log; \
	  [ $$status -eq 0 ] || { grep -B2 -A20 'ERROR\|deadly' build-fuzz/$$t.log | head -n 40; exit $$status; }; \
	done
