# end-to-end tests
