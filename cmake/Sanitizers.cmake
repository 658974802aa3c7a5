if(ZD_SANITIZE)
  set(_zd_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_zd_san})
  add_link_options(${_zd_san})
  # Line tables are all a sanitizer report needs; full debug info at -O2 doubled the build's time.
  set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
  set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
endif()

# Environment of every test: third-party leaks are suppressed, everything else fails the test.
set(ZD_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
if(ZD_SANITIZE)
  list(APPEND ZD_TEST_ENVIRONMENT
       "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
       "ASAN_OPTIONS=detect_stack_use_after_return=0"
       "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()
