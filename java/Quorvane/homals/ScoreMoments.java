package Quorvane.homals;

/**
 * The moments of the object scores over the participating objects that the test values and
 * correlation ratios need: their summed weight W<sub>+</sub> = &Sigma; w<sub>i</sub>, and per
 * dimension S1<sub>d</sub> = &Sigma; w<sub>i</sub> x<sub>id</sub> and S2<sub>d</sub> =
 * &Sigma; w<sub>i</sub> x<sub>id</sub><sup>2</sup>.
 *
 * <p>They are the only thing those statistics take from the objects; everything else comes from
 * the categories' weights and centroids. A source that keeps category tables but no object
 * scores supplies the three sums itself (the library returns S1 and S2 as {@code scoreMoments},
 * in whole weight units), and its results can match a run over the objects bit for bit only if
 * both take the sums from the same place: this record is that place.
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

  /**
   * Sums over the participating objects of the analysis, in their order, from scores laid out
   * dimension-major (n per dimension).
   */
  static ScoreMoments of(HomalsAnalysis analysis, double[] scores) {
    Participation participation = analysis.participation();
    int n = analysis.objectCount();
    int p = n == 0 ? 0 : scores.length / n;
    double weight = 0;
    double[] first = new double[p];
    double[] second = new double[p];
    for (int i = 0; i < n; i++) {
      if (participation.takesPart(i)) {
        double w = analysis.weight(i);
        weight += w;
        for (int d = 0; d < p; d++) {
          double x = scores[d * n + i];
          first[d] += w * x;
          second[d] += w * x * x;
        }
      }
    }
    return new ScoreMoments(weight, first, second);
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
