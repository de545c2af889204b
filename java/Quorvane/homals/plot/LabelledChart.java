package Quorvane.homals.plot;

import java.awt.Graphics2D;
import java.awt.geom.Point2D;
import java.awt.geom.Rectangle2D;
import java.awt.image.BufferedImage;
import java.util.Objects;
import java.util.function.IntFunction;
import org.jfree.chart.ChartRenderingInfo;
import org.jfree.chart.JFreeChart;
import org.jfree.chart.plot.XYPlot;
import org.jfree.chart.title.TextTitle;

/**
 * A chart with a note under it on its labels that says how many were left out for want of room.
 * Only drawing tells that, and the note is laid out before the plot above it is drawn; so each
 * drawing is first rehearsed on a scratch image, and the note set to what the rehearsal found. A
 * note that comes or goes moves the plot and so the labels, and is rehearsed once more.
 */
final class LabelledChart extends JFreeChart {
  private static final long serialVersionUID = 1L;
  private static final int REHEARSALS = 3;

  private final CategoryLabels labels;
  private final transient IntFunction<String> noteText;
  private TextTitle note;
  private boolean rehearsing;

  /**
   * @param noteText the note for the number of labels left out, {@code null} for no note
   */
  LabelledChart(XYPlot plot, boolean legend, CategoryLabels labels, IntFunction<String> noteText) {
    super(null, Charts.TITLE_FONT, plot, legend);
    this.labels = labels;
    this.noteText = noteText;
  }

  /** Adds the note as it reads when every label finds room; call once the other notes are in. */
  LabelledChart withNote() {
    show(noteText.apply(0));
    return this;
  }

  /** The note on the labels as it stands, or {@code null} for none. */
  String note() { return note == null ? null : note.getText(); }

  @Override
  public void draw(Graphics2D g2, Rectangle2D area, Point2D anchor, ChartRenderingInfo info) {
    if (!rehearsing) {
      rehearsing = true;
      try {
        for (int pass = 0; pass < REHEARSALS; pass++) {
          Graphics2D scratch = scratch(g2);
          try {
            super.draw(scratch, area, anchor, null);
          } finally {
            scratch.dispose();
          }
          if (!show(noteText.apply(labels.dropped()))) {
            break;
          }
        }
      } finally {
        rehearsing = false;
      }
    }
    super.draw(g2, area, anchor, info);
  }

  /**
   * A one-pixel image, on which the whole drawing costs little since nearly all of it falls
   * outside. It lays the chart out as an SVG drawing does too: the chart measures text with
   * fractional widths either way (see {@link Charts#style}).
   */
  private static Graphics2D scratch(Graphics2D g2) {
    Graphics2D scratch = new BufferedImage(1, 1, BufferedImage.TYPE_INT_RGB).createGraphics();
    scratch.setRenderingHints(g2.getRenderingHints());
    return scratch;
  }

  /** Sets the note to {@code text} ({@code null}: none); whether it changed. */
  private boolean show(String text) {
    if (Objects.equals(text, note())) {
      return false;
    }
    if (text == null) {
      removeSubtitle(note);
      note = null;
    } else if (note == null) {
      note = Charts.note(this, text);
    } else {
      note.setText(text);
    }
    return true;
  }
}
