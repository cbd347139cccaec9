# Tests that run another process with fork() (sharing the parent's memory)
# and are not on the child-process helper (platform/testing/child_process.h)
# yet: Linux-only until they are ported.
list(APPEND KALVO_POSIX_ONLY_TESTS
  mixtable_catalog_edge_test       # catalogue_test: readers during an edit
  mixtable_exchange_test           # seq/xml files written by two processes
  mixtable_hformula_archive_test   # archive appends of two processes
  mixtable_inventory_test          # storage tables: another writer
  mixtable_maintenance_guard_test  # runs and open tables of another process
  mixtable_table_test              # mixtable_hold_test: a holder process
  mixtable_user_data_test          # user data written by two processes
)
