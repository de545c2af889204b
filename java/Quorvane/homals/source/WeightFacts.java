package Quorvane.homals.source;

/**
 * What the analysis must know of a weight column before it sums anything: the rows, and over all
 * of them the sum of the weights, the largest, whether every weight is a whole number below
 * 2<sup>53</sup>, and the rows whose weight is not a finite number of 0 or more.
 *
 * @param nulls rows without a weight (NULL)
 * @param negative rows with a negative weight
 * @param notFinite rows whose weight is NaN or infinite
 */
public record WeightFacts(long rows, double total, double largest, boolean whole, long nulls,
    long negative, long notFinite) {}
