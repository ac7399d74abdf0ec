/* The program of the version resource fixtures; it is never run. */
int main(void) { return 0; }
