# Tests that run another process with fork() (sharing the parent's memory)
# and are not on the child-process helper (platform/testing/child_process.h)
# yet: Linux-only until they are ported.
list(APPEND KALVO_POSIX_ONLY_TESTS
  mixtool_units_levels_test        # a command against a held data set
  mixtool_upgrade_test             # an upgrade against a held data set
  installer_test                   # install_engine_test: a killed install
)
