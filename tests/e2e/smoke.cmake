# Every other command the README documents, in a short form (label smoke); the Wine runs start from the e2e
# template prefix, as making one takes most of a minute.
set(root ${PROJECT_SOURCE_DIR})
add_test(NAME smoke_bench COMMAND scripts/bench --smoke)
add_test(NAME smoke_screenshots COMMAND scripts/screenshots ${root}/build/smoke/screenshots)
add_test(NAME smoke_fuzz COMMAND scripts/fuzz 5)
# Without a display: Dimlux on a private Xvfb for a few seconds, and its screenshot shows the widget.
add_test(NAME smoke_run COMMAND bash -c "test -e build/run-prefix || cp -a ${e2e_root}/template/prefix build/run-prefix
  rm -f build/run-screenshot.png && env -u DISPLAY scripts/run && scripts/screenshots --check build/run-screenshot.png")
# The README's quick local run on the 64-bit exe, with one e2e file and only the targets it needs built.
add_test(NAME smoke_own_exe COMMAND bash -c "mkdir -p build/win64-own/e2e
  test -e build/win64-own/e2e/template || cp -a ${e2e_root}/template build/win64-own/e2e/template
  cmake --preset win64 -B build/win64-own -DDIMLUX_E2E_OWN_EXE=ON >/dev/null &&
  cmake --build build/win64-own --target Dimlux dimlux_driver &&
  ctest --test-dir build/win64-own -R '^e2e_test_off_switch$' --output-on-failure --no-tests=error")
add_test(NAME smoke_install_deps_check COMMAND scripts/install-deps --check)
set(smoke_tests smoke_bench smoke_screenshots smoke_fuzz smoke_run smoke_own_exe smoke_install_deps_check)
set_tests_properties(${smoke_tests} PROPERTIES WORKING_DIRECTORY ${root} LABELS smoke TIMEOUT 900
  FIXTURES_REQUIRED e2e_template ENVIRONMENT "DIMLUX_E2E_ROOT=${e2e_root}")
