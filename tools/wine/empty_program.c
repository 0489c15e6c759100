/* A program that does nothing: what starting any program under Wine costs, for the figures
   a re-run is measured against. */
int main(void) {
    return 0;
}
