// Shared test support lives beside this file.
