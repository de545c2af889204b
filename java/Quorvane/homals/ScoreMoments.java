package Quorvane.homals;

/**
 * The moments of the object scores over the participating objects that the test values and
 * correlation ratios need: their summed weight W<sub>+</sub> = &Sigma; w<sub>i</sub>, and per
 * dimension S1<sub>d</sub> = &Sigma; w<sub>i</sub> x<sub>id</sub> and S2<sub>d</sub> =
 * &Sigma; w<sub>i</sub> x<sub>id</sub><sup>2</sup>.
 *
 * <p>They are the only thing those statistics take from the objects; everything else comes from
 * the categories' weights and centroids. The library sums S1 and S2 in whole weight units, from
 * the cross-tables when a table solver ran, so that they are the same bits whether the objects
 * were in memory or only their counts (a database's), and W+ comes from the same units.
 *
 * @param weight W<sub>+</sub>
 * @param first S1<sub>d</sub> per dimension
 * @param second S2<sub>d</sub> per dimension
 */
record ScoreMoments(double weight, double[] first, double[] second) {
  ScoreMoments {
    first = first.clone();
    second = second.clone();
  }

  /** From the library's moments in weight units ([S1, S2] by dimension). */
  static ScoreMoments of(double[] nativeMoments, Participation participation) {
    int p = nativeMoments.length / 2;
    double[] first = new double[p];
    double[] second = new double[p];
    for (int d = 0; d < p; d++) {
      first[d] = participation.inWeights(nativeMoments[d]);
      second[d] = participation.inWeights(nativeMoments[p + d]);
    }
    return new ScoreMoments(participation.participatingWeight(), first, second);
  }

  int dimensions() {
    return first.length;
  }

  /** x&#772;<sub>d</sub> = S1<sub>d</sub> / W<sub>+</sub>. */
  double mean(int d) {
    return first[d] / weight;
  }

  /**
   * &Sigma; w<sub>i</sub> (x<sub>id</sub> - x&#772;<sub>d</sub>)<sup>2</sup> = S2<sub>d</sub> -
   * W<sub>+</sub> x&#772;<sub>d</sub><sup>2</sup>, never below 0.
   */
  double squares(int d) {
    double mean = mean(d);
    return Math.max(0, second[d] - weight * mean * mean);
  }
}
