package Quorvane.homals;

/**
 * Two sums over the objects that take part, per dimension: S1<sub>d</sub> = &Sigma;
 * w<sub>i</sub> x<sub>id</sub> and S2<sub>d</sub> = &Sigma; w<sub>i</sub>
 * x<sub>id</sub><sup>2</sup>, with W+ their summed weight. With the categories' frequencies and
 * centroids they give every statistic of a category or a variable against the scores, without
 * the scores themselves: the library sums them from the category tables, so that they are the
 * same bits whether the objects were in memory or in a database.
 */
record ScoreMoments(double[] sums, double[] squares, double weight) {
  /** From the library's moments in weight units ([S1, S2] by dimension). */
  static ScoreMoments of(double[] nativeMoments, Participation participation) {
    int p = nativeMoments.length / 2;
    double[] sums = new double[p];
    double[] squares = new double[p];
    for (int d = 0; d < p; d++) {
      sums[d] = participation.inWeights(nativeMoments[d]);
      squares[d] = participation.inWeights(nativeMoments[p + d]);
    }
    return new ScoreMoments(sums, squares, participation.participatingWeight());
  }

  /** The weighted mean score on a dimension. */
  double mean(int d) {
    return sums[d] / weight;
  }

  /** &Sigma; w (x - x&#772;)<sup>2</sup> = S2 - S1<sup>2</sup> / W+. */
  double squaresAboutMean(int d) {
    return squares[d] - sums[d] * sums[d] / weight;
  }
}
