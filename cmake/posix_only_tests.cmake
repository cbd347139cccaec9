# Tests that run another process with fork() (sharing the parent's memory)
# and are not on the child-process helper (platform/testing/child_process.h)
# yet: Linux-only until they are ported.
list(APPEND KALVO_POSIX_ONLY_TESTS
  mixtable_catalog_edge_test       # catalogue_test: readers during an edit
  mixtable_child_build_test        # a child build killed part way
  mixtable_convert_test            # conversion busy / killed part way
  mixtable_exchange_test           # seq/xml files written by two processes
  mixtable_gdata_test              # gdata_create_test: creation killed
  mixtable_hformula_archive_test   # archive appends of two processes
  mixtable_inventory_test          # storage tables: another writer
  mixtable_maintenance_guard_test  # runs and open tables of another process
  mixtable_repairs_crash_test      # a repair killed after each step
  mixtable_table_test              # mixtable_hold_test: a holder process
  mixtable_upgrade_test            # select_gdata_test: other runs, kills
  mixtable_user_data_test          # user data written by two processes
)
