// Shared helpers of the tests: temporary files, registry fixtures, the
// loopback test server. Each lives in a file of its own beside this one.
