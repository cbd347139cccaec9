# Tests that run another process with fork() (sharing the parent's memory)
# and are not on the child-process helper (platform/testing/child_process.h)
# yet: Linux-only until they are ported.
list(APPEND KALVO_POSIX_ONLY_TESTS
  mixtable_child_build_test        # a child build killed part way
  mixtable_convert_test            # conversion busy / killed part way
  mixtable_gdata_test              # gdata_create_test: creation killed
  mixtable_repairs_crash_test      # a repair killed after each step
  mixtable_upgrade_test            # select_gdata_test: other runs, kills
  mixtool_process_test             # mixtool killed part way
  mixtool_units_levels_test        # a command against a held data set
  mixtool_upgrade_test             # an upgrade against a held data set
  installer_test                   # install_engine_test: a killed install
)
