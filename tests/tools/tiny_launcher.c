/* A small Windows program standing in for a launcher in the packaging tests. */
int main(void) { return 0; }
