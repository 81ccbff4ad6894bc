/* The smallest console program: the baseline for start-up time measurements. */
int main(void) {
    return 0;
}
