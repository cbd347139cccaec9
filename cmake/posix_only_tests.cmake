# Tests that run another process with fork() (sharing the parent's memory)
# and are not on the child-process helper (platform/testing/child_process.h)
# yet: Linux-only until they are ported.
list(APPEND KALVO_POSIX_ONLY_TESTS
)
