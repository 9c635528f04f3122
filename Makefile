# make run / make test set everything up on a fresh Debian 12 machine.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

FUZZ_SECONDS ?= 60

.PHONY: run test build setup setup-test setup-fuzz install clean test-sanitize fuzz

# What building needs; the tests add an X server, a browser and their tools.
setup:
	@scripts/setup.sh build
setup-test:
	@scripts/setup.sh test
setup-fuzz:
	@scripts/setup.sh fuzz

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tumbilder

test: setup-test build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest -j $(JOBS) --output-on-failure --timeout 600

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

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
	  ctest -j $(JOBS) --output-on-failure --timeout 900 -E 'smoke_xvfb|gallery_browser'

# Each fuzz target for FUZZ_SECONDS, with clang's libFuzzer.
fuzz: setup-fuzz
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTUMBILDER_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build build-fuzz -j $(JOBS) --target fuzz_picture fuzz_splittext fuzz_quality fuzz_page
	@for t in fuzz_picture fuzz_splittext fuzz_quality fuzz_page; do \
	  mkdir -p build-fuzz/corpus/$$t; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  QT_QPA_PLATFORM=offscreen build-fuzz/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -max_len=65536 \
	    -rss_limit_mb=4096 -timeout=20 -artifact_prefix=build-fuzz/ build-fuzz/corpus/$$t tests/fuzz/seeds > build-fuzz/$$t.log 2>&1; \
	  status=$$?; tail -n 1 build-fuzz/$$t.log; \
	  [ $$status -eq 0 ] || { grep -B2 -A20 'ERROR\|deadly' build-fuzz/$$t.log | head -n 40; exit $$status; }; \
	done
