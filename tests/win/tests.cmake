# Windows unit tests
