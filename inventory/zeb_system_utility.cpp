// The inventory stand-in: written with the rules.
int ZebPlaceholder() { return 0; }
